// The connector: a windowless program that owns the device session and
// carries out the main program's commands.
#pragma once

#include <string>
#include <string_view>

#include "WindowMessages.h"

extern const char* const szClassName;
extern wm::HWND selfhwnd;
extern wm::HWND MainFormHandle;
extern std::string SelfPath;

// The working folder for the connector's own program path: the text before
// "velmorapx" in the file name, or the whole path when the file is named otherwise.
std::string SelfPathFrom(std::string_view programPath);

wm::LRESULT WindowProcedure(const wm::Message& message);
void dealwith_mainform_msg(std::string_view msg);

// Registers the window, finds the main window and runs the message loop
// until a WM_DESTROY arrives. Returns the exit code.
int WinMain();
