#pragma once
// What the programs do at start about interrupted recordings in the wave
// folder: the window asks one question and recovers on Yes; the headless
// recorder prints a notice (and recovers with --recover).
//
// Main thread only.

#include <string>
#include <vector>

#include "recovery/RecoverWorkingFiles.h"
#include "ui/UiServices.h"

namespace varnel {

// "Channel_0.wav, started 2026-12-09 05:30:00, 12.5 s"
std::string DescribeInterruptedFile(const InterruptedFile& file);
// The question, listing every interrupted file with its time and length.
std::string RecoveryQuestion(const InterruptedRecordings& found);
// The message after a recovery in which some files could not be recovered.
std::string RecoveryFailureMessage(const std::vector<RecoveredFile>& results);

// The window's start: asks when a recording was interrupted, recovers on Yes.
// Leftovers that hold no samples are cleared without a question.
void OfferRecovery(ui::UiServices& ui, const std::string& waveFolder);

}  // namespace varnel
