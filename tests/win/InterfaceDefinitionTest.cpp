// The generated interfaces against the host's tables: interface ids, and the
// vtable slot of every method as C code sees it.

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "Ferrowind.h"

extern "C" int MeasuredWendleSlot(const char* iface, const char* method);

namespace
{
struct InterfaceId
{
    const char* name;
    const IID* piid;
    const wchar_t* text;
};

const InterfaceId kInterfaceIds[] = {
    {"IWendleVideoDraw", &IID_IWendleVideoDraw, L"{E9215EFD-F193-47EF-A2C7-B8C0D0505470}"},
    {"IWendleRecording", &IID_IWendleRecording, L"{91779701-2890-47F3-9FEE-4FB079A8F718}"},
    {"IWendleProject", &IID_IWendleProject, L"{48000048-23DD-426C-843B-D6A888F521FD}"},
    {"IWendleEventStream", &IID_IWendleEventStream, L"{C8CC8AD7-F920-4167-A397-8FAC322D619D}"},
    {"IEnumWendleBase", &IID_IEnumWendleBase, L"{B1CAD005-AEA3-4D00-BBE3-DD606AA1007B}"},
    {"IEnumWendleEvent", &IID_IEnumWendleEvent, L"{A0DE954C-40B9-47F4-8FC2-F61D990BC4B1}"},
    {"IWendleEvent", &IID_IWendleEvent, L"{975F418C-AA02-468E-A398-A1BC1381B3FE}"},
    {"IEnumWendleRecording", &IID_IEnumWendleRecording, L"{FE614A21-2396-41A2-AAAF-61F4E6116B4D}"},
};

struct SlotTable
{
    const char* iface;
    std::vector<const char*> methods; // from slot 3 on, in slot order
};

const std::vector<SlotTable>& SlotTables()
{
    static const std::vector<SlotTable> tables = {
        {"IWendleVideoDraw",
         {"GetName", "GetDescription", "HasSetupDialog", "ShowSetupDialog", "SetRecording", "SetProject",
          "GiveUpcomingFrame", "GetDrawSetupParameters", "SetDrawSetupParameters"}},
        {"IWendleRecording",
         {"GetName", "GetDescription", "GetRecordingUUID", "GetDataStream", "GetAppTags", "GetAppName",
          "GetFrameDuration", "GetRemoteViewerName", "GetChatUserName", "GetTreeviewStreamFolders",
          "AddTreeviewStreamFolder", "GetRecordingLength", "WndClassNameToTag", "WndClassTagToName"}},
        {"IWendleEventStream",
         {"EnumEvents", "GetEventCount", "GetEventStreamID", "SetRecording", "SetProject", "ReadEventFile",
          "GetStreamName", "SetTempDirectory", "SetStartTime"}},
        {"IEnumWendleBase", {"Skip", "Reset"}},
        {"IEnumWendleEvent", {"Skip", "Reset", "Next", "Clone"}},
        {"IWendleEvent", {"GetTime", "GetTimeRange", "GetAppTag", "GetWndClassTag", "GetHWND", "GetEventTypeID"}},
        {"IWendleProject",
         {"GetRecording", "GetAllAppNames", "EnumRecordings", "GetMarkerStrings", "GetMarkerScores",
          "GetMarkerScoreString", "GetTaskIDs", "GetTaskDefinition", "GetTaskScores", "GetTaskScoreString",
          "GetSurveyQuestions", "GetSurveyQuestionStyles", "GetSurveyQuestionChoices", "GetSurveyQuestionCount",
          "GetSurveyChoiceCounts", "GetSurveyStyle", "GetSurveyName", "GetSurveyIDs"}},
        {"IEnumWendleRecording", {"Skip", "Reset", "Next", "Clone"}},
    };
    return tables;
}
} // namespace

TEST(InterfaceDefinition, InterfaceIdsAreTheHostsOwn)
{
    for (const InterfaceId& id : kInterfaceIds)
    {
        IID expected = {};
        ASSERT_EQ(IIDFromString(id.text, &expected), S_OK) << id.name;
        EXPECT_TRUE(IsEqualIID(*id.piid, expected)) << id.name;
    }
}

TEST(InterfaceDefinition, EveryMethodSitsInItsSlot)
{
    for (const SlotTable& table : SlotTables())
    {
        EXPECT_EQ(MeasuredWendleSlot(table.iface, "QueryInterface"), 0) << table.iface;
        EXPECT_EQ(MeasuredWendleSlot(table.iface, "AddRef"), 1) << table.iface;
        EXPECT_EQ(MeasuredWendleSlot(table.iface, "Release"), 2) << table.iface;
        int slot = 3;
        for (const char* method : table.methods)
        {
            EXPECT_EQ(MeasuredWendleSlot(table.iface, method), slot) << table.iface << "::" << method;
            ++slot;
        }
        EXPECT_EQ(MeasuredWendleSlot(table.iface, ""), slot) << table.iface << " has other slots";
    }
}
