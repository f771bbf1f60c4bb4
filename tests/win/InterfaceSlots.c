/* The vtable slot of every method as the C view of the generated header lays
   it out; the C++ test compares them with the host's slot tables. */

#include <stddef.h>
#include <string.h>

#include <windows.h>

#include "Ferrowind.h"

#define SLOT(iface, method) {#iface, #method, (int)(offsetof(iface##Vtbl, method) / sizeof(void*))}
#define SLOT_COUNT(iface) {#iface, "", (int)(sizeof(iface##Vtbl) / sizeof(void*))}

struct MeasuredSlot
{
    const char* iface;
    const char* method;
    int slot;
};

static const struct MeasuredSlot g_measured[] = {
    SLOT(IWendleVideoDraw, QueryInterface),
    SLOT(IWendleVideoDraw, AddRef),
    SLOT(IWendleVideoDraw, Release),
    SLOT(IWendleVideoDraw, GetName),
    SLOT(IWendleVideoDraw, GetDescription),
    SLOT(IWendleVideoDraw, HasSetupDialog),
    SLOT(IWendleVideoDraw, ShowSetupDialog),
    SLOT(IWendleVideoDraw, SetRecording),
    SLOT(IWendleVideoDraw, SetProject),
    SLOT(IWendleVideoDraw, GiveUpcomingFrame),
    SLOT(IWendleVideoDraw, GetDrawSetupParameters),
    SLOT(IWendleVideoDraw, SetDrawSetupParameters),
    SLOT_COUNT(IWendleVideoDraw),
    SLOT(IWendleRecording, QueryInterface),
    SLOT(IWendleRecording, AddRef),
    SLOT(IWendleRecording, Release),
    SLOT(IWendleRecording, GetName),
    SLOT(IWendleRecording, GetDescription),
    SLOT(IWendleRecording, GetRecordingUUID),
    SLOT(IWendleRecording, GetDataStream),
    SLOT(IWendleRecording, GetAppTags),
    SLOT(IWendleRecording, GetAppName),
    SLOT(IWendleRecording, GetFrameDuration),
    SLOT(IWendleRecording, GetRemoteViewerName),
    SLOT(IWendleRecording, GetChatUserName),
    SLOT(IWendleRecording, GetTreeviewStreamFolders),
    SLOT(IWendleRecording, AddTreeviewStreamFolder),
    SLOT(IWendleRecording, GetRecordingLength),
    SLOT(IWendleRecording, WndClassNameToTag),
    SLOT(IWendleRecording, WndClassTagToName),
    SLOT_COUNT(IWendleRecording),
    SLOT(IWendleEventStream, QueryInterface),
    SLOT(IWendleEventStream, AddRef),
    SLOT(IWendleEventStream, Release),
    SLOT(IWendleEventStream, EnumEvents),
    SLOT(IWendleEventStream, GetEventCount),
    SLOT(IWendleEventStream, GetEventStreamID),
    SLOT(IWendleEventStream, SetRecording),
    SLOT(IWendleEventStream, SetProject),
    SLOT(IWendleEventStream, ReadEventFile),
    SLOT(IWendleEventStream, GetStreamName),
    SLOT(IWendleEventStream, SetTempDirectory),
    SLOT(IWendleEventStream, SetStartTime),
    SLOT_COUNT(IWendleEventStream),
    SLOT(IEnumWendleBase, QueryInterface),
    SLOT(IEnumWendleBase, AddRef),
    SLOT(IEnumWendleBase, Release),
    SLOT(IEnumWendleBase, Skip),
    SLOT(IEnumWendleBase, Reset),
    SLOT_COUNT(IEnumWendleBase),
    SLOT(IEnumWendleEvent, QueryInterface),
    SLOT(IEnumWendleEvent, AddRef),
    SLOT(IEnumWendleEvent, Release),
    SLOT(IEnumWendleEvent, Skip),
    SLOT(IEnumWendleEvent, Reset),
    SLOT(IEnumWendleEvent, Next),
    SLOT(IEnumWendleEvent, Clone),
    SLOT_COUNT(IEnumWendleEvent),
    SLOT(IWendleEvent, QueryInterface),
    SLOT(IWendleEvent, AddRef),
    SLOT(IWendleEvent, Release),
    SLOT(IWendleEvent, GetTime),
    SLOT(IWendleEvent, GetTimeRange),
    SLOT(IWendleEvent, GetAppTag),
    SLOT(IWendleEvent, GetWndClassTag),
    SLOT(IWendleEvent, GetHWND),
    SLOT(IWendleEvent, GetEventTypeID),
    SLOT_COUNT(IWendleEvent),
    SLOT(IWendleProject, QueryInterface),
    SLOT(IWendleProject, AddRef),
    SLOT(IWendleProject, Release),
    SLOT(IWendleProject, GetRecording),
    SLOT(IWendleProject, GetAllAppNames),
    SLOT(IWendleProject, EnumRecordings),
    SLOT(IWendleProject, GetMarkerStrings),
    SLOT(IWendleProject, GetMarkerScores),
    SLOT(IWendleProject, GetMarkerScoreString),
    SLOT(IWendleProject, GetTaskIDs),
    SLOT(IWendleProject, GetTaskDefinition),
    SLOT(IWendleProject, GetTaskScores),
    SLOT(IWendleProject, GetTaskScoreString),
    SLOT(IWendleProject, GetSurveyQuestions),
    SLOT(IWendleProject, GetSurveyQuestionStyles),
    SLOT(IWendleProject, GetSurveyQuestionChoices),
    SLOT(IWendleProject, GetSurveyQuestionCount),
    SLOT(IWendleProject, GetSurveyChoiceCounts),
    SLOT(IWendleProject, GetSurveyStyle),
    SLOT(IWendleProject, GetSurveyName),
    SLOT(IWendleProject, GetSurveyIDs),
    SLOT_COUNT(IWendleProject),
    SLOT(IEnumWendleRecording, QueryInterface),
    SLOT(IEnumWendleRecording, AddRef),
    SLOT(IEnumWendleRecording, Release),
    SLOT(IEnumWendleRecording, Skip),
    SLOT(IEnumWendleRecording, Reset),
    SLOT(IEnumWendleRecording, Next),
    SLOT(IEnumWendleRecording, Clone),
    SLOT_COUNT(IEnumWendleRecording),
};

/* The slot of iface's method, or with an empty method name the number of
   slots; -1 when the pair is not in the header. */
int MeasuredWendleSlot(const char* iface, const char* method)
{
    size_t i;
    for (i = 0; i < sizeof(g_measured) / sizeof(g_measured[0]); ++i)
        if (strcmp(g_measured[i].iface, iface) == 0 && strcmp(g_measured[i].method, method) == 0)
            return g_measured[i].slot;
    return -1;
}
