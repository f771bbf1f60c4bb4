#pragma once
// Resource identifiers of the module (shared by the .rc files and the code).

#define IDS_PROJNAME 100
#define IDS_DISPLAYNAME 101

#define IDR_FERROWIND 101
#define IDR_SMPTEFRAMEDRAW 102

#define IDD_SMPTEFRAMEDRAWDLG 201
#define IDC_FONT_BUTTON 201
#define IDC_FONT_NAME 202
#define IDC_OPACITY 203
#define IDC_OPACITY_VALUE 204
#define IDC_PREVIEW 205
#define IDC_SAMPLE_TIME 206
#define IDC_POSITION_TEXT 207
