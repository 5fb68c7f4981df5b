// The program the desktop opens a kind of picture with, as a command template:
// the freedesktop default application of a MIME type, its desktop entry's Exec
// line cut down to one "%s" where the file goes.
#pragma once

#include <string>

// Looks up the default application for mime ("image/gif"): the [Default
// Applications] of mimeapps.list in $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS and the
// applications/ folders of $XDG_DATA_HOME and $XDG_DATA_DIRS, then the
// mimeinfo.cache files of those applications/ folders. The first listed entry
// whose desktop file is found and has an Exec line wins. 1 with the command
// template in *out (native encoding), 0 when there is none (*out empty).
int DefaultAppCommand(const char *mime, std::string *out);

// Turns an Exec value into a command template: the first %f, %F, %u or %U
// becomes "%s" and the rest of the line is dropped; "%%" stays (it prints one
// percent sign) and every other field code before it is removed.
std::string ExecToTemplate(const std::string &exec);
