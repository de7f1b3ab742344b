// What the online services need of the window layer, installed from above at start-up: a
// modal alert with buttons and a job run under a progress dialog. Until they are installed an
// alert answers "no button" (-1) and a job runs silently.
#pragma once

#include "lfw/gen/LProcess.h"

#include <functional>

enum LZORAlertKind { LZORAlertInformation = 0, LZORAlertWarning = 1, LZORAlertError = 2 };

// Shows an alert and returns the index of the button chosen (0 first), -1 when none was.
using LZORAlertFunction = int (*)(
    int kind, const char* title, const char* text, const char* const* buttons, int buttonCount);
void LZORSetAlertFunction(LZORAlertFunction function);
int LZORAlert(
    int kind, const char* title, const char* text, const char* const* buttons, int buttonCount);

using LZORJob = std::function<LProcessResult(LProcessInterface&)>;
// Runs a job under a modal progress dialog with a title; returns the job's result.
using LZORRunJobFunction = LProcessResult (*)(const char* title, const LZORJob& job);
void LZORSetRunJobFunction(LZORRunJobFunction function);
LProcessResult LZORRunJob(const char* title, const LZORJob& job);
