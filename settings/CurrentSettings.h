#pragma once
// The process-wide current settings. Objects may live in several apartments,
// so every read and every replacement of the shared record goes through these
// two functions, which hold one process-wide lock for the 100-byte copy.

#include "settings/SMPTEDrawSettings.h"

extern SMPTEDrawSettings g_currentSettings;

void SnapshotSettings(const SMPTEDrawSettings& shared, SMPTEDrawSettings& copy) noexcept;
void ReplaceSettings(SMPTEDrawSettings& shared, const SMPTEDrawSettings& value) noexcept;
