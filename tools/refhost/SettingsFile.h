#pragma once
// Settings blobs kept as files, as a host keeps them between sessions: the
// bytes of GetDrawSetupParameters' array, handed back unchanged through
// SetDrawSetupParameters.

#include <string>

#include "Ferrowind.h"

// Writes the plug-in's current blob (the whole array, which must be a
// one-dimensional byte array) to the file. hrCall gets the plug-in's answer.
bool SaveSettingsFile(IWendleVideoDraw* pPlugin, const std::wstring& strPath, HRESULT& hrCall, ULONG& cbWritten);
// Hands the file's bytes to the plug-in as a byte array with lower bound 0.
// False when the file cannot be read; otherwise hrCall is the plug-in's answer.
bool LoadSettingsFile(IWendleVideoDraw* pPlugin, const std::wstring& strPath, HRESULT& hrCall, ULONG& cbRead);
