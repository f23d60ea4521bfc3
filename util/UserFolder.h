#pragma once
#include <string>

// The per-user working folder of an installed copy started from the menu:
// $XDG_DATA_HOME/wexcon when that is an absolute path, else
// $HOME/.local/share/wexcon. Empty when neither variable helps.
std::string UserFolder(const char* xdgDataHome, const char* home);

// Creates the user folder (with its parents) and makes it the working folder,
// so that Param.ini, the logs and the results land there. False with the
// reason in `error` when it cannot.
bool EnterUserFolder(std::string* error);
