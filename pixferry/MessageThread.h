// Carries one command to the connector on a thread of its own, which blocks
// until the connector has carried the command out and then ends by itself.
#pragma once

#include <string>

#include "WindowMessages.h"

class TMessageThread {
public:
    void SetKind(std::string kind) { Kind = std::move(kind); }
    void SetCommand(std::string command) { Command = std::move(command); }
    void SetLocalPath(std::string localPath) { LocalPath = std::move(localPath); }
    void SetTargetWindow(wm::HWND target) { TargetWindow = std::move(target); }
    void SetSenderWindow(wm::HWND sender) { SenderWindow = std::move(sender); }

    // Starts the thread with the fields as they are now.
    void Resume() const;
    // What the thread does: joins the text and sends it.
    static void Execute(const std::string& kind, const std::string& command, const std::string& localPath,
                        const wm::HWND& target, const wm::HWND& sender);

private:
    std::string Kind;
    std::string Command;
    std::string LocalPath;
    wm::HWND TargetWindow;
    wm::HWND SenderWindow;
};
