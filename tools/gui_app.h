#pragma once
// The Qt application the commands that lay out text need (fonts, rich text,
// PDF printing). No display is needed: the offscreen platform is used unless
// another is asked for. Qt's own warnings about its environment are dropped,
// so that standard error keeps to the command's one line.
namespace cn::tool {

void ensureGuiApplication();

} // namespace cn::tool
