#include "MessageThread.h"

#include <thread>

#include "CommandText.h"

void TMessageThread::Execute(const std::string& kind, const std::string& command, const std::string& localPath,
                             const wm::HWND& target, const wm::HWND& sender) {
    if (auto text = px::JoinCommand(kind, command, localPath)) wm::SendCopyDataText(target, sender.Value(), *text);
}

void TMessageThread::Resume() const {
    std::thread([kind = Kind, command = Command, local = LocalPath, target = TargetWindow, sender = SenderWindow] {
        Execute(kind, command, local, target, sender);
    }).detach();
}
