#pragma once
// The screenshot run (scripts/screenshots): drives the program through a list
// of steps and writes a picture of the window, or of the dialog in front of
// it, after each one. Pictures for the README and for a reviewer's eyes.
#include "ui/app/CommandLine.h"

namespace vx {

class CApp;
class CVolume;

void StartScreenshotRun(CApp& app, CVolume* volume, const CommandLine& commandLine);

}  // namespace vx
