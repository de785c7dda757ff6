#pragma once

namespace talvex::update {

/// Keeps the clipboard through a relaunch in place. An X11 selection lives in its owner, and Talvex
/// owns the clipboard whenever it has put the user's contents back after a paste: the new process
/// image would otherwise start with the clipboard empty. The contents travel in an anonymous memory
/// file that the new image inherits, named by TALVEX_CARRIED_CLIPBOARD; they never touch the disk.
namespace ClipboardCarry {

/// Just before the image is replaced: when this process owns the clipboard, puts its contents into
/// an inheritable memory file. Returns that descriptor (to be left open across exec), or -1.
int handOver();
/// When the replacement failed: drops what `handOver` prepared.
void cancel(int descriptor);
/// At start, once a QGuiApplication exists: owns the clipboard again with what the previous image
/// handed over. Does nothing when nothing was.
void takeBack();

} // namespace ClipboardCarry

} // namespace talvex::update
