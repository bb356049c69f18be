#include "ui/notice.h"

#include "base/owned_string.h"
#include "context/app_context.h"
#include "power/power_operations.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "watch/watch_readings.h"

int ShowNotice(HWND owner, UINT type, int messageId, const wchar_t *fallback, const wchar_t *first,
               const wchar_t *second)
{
    const char *arguments = second ? "ss" : first ? "s" : "";
    const wchar_t *format = LoadResFormat(g_resourceModule, messageId, arguments, fallback);
    wchar_t message[3 * KELDRIN_TEXT_UNITS];
    FormatText(message, COUNTOF(message), format, first, second);
    const wchar_t *caption = g_app && g_app->productName ? g_app->productName : L"";
    return MessageBoxW(owner, message, caption, type);
}

bool RefusedOnThisMachine(HWND owner, int operation)
{
    const int id = PowerOperationRefusalId(operation);
    if (!id) return false;
    const wchar_t *fallback = id == IDS_STANDBY_UNAVAILABLE ? L"This computer cannot stand by. Nothing has been done."
                                                            : L"Hibernation is switched off on this computer. Nothing has been done.";
    ShowNotice(owner, MB_OK | MB_ICONEXCLAMATION, id, fallback);
    return true;
}

bool RefusedAsNothingToWaitFor(HWND owner, const WatchConditions &conditions)
{
    for (int i = 0; i < conditions.programCount; i++) {
        if (WatchCountRunning(conditions.programs[i]) != 0) continue;  // -1: unknown, watched anyway
        ShowNotice(owner, MB_OK | MB_ICONEXCLAMATION, IDS_WATCH_NOT_RUNNING, L"%ls: not running. Nothing has been done.",
                   conditions.programs[i]);
        return true;
    }
    return false;
}

void ShowScheduleAnswer(HWND owner, const ScheduleAnswer &answer)
{
    if (!answer.messageId) return;
    const UINT type = MB_OK | (answer.done ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    const wchar_t *fallback = ScheduleAnswerFallback(answer.messageId);
    switch (answer.messageId) {
    case IDS_SCHEDULE_NEEDS_VISTA:
        ShowNotice(owner, type, answer.messageId, fallback);
        break;
    case IDS_SCHEDULE_REGISTERED:
    case IDS_UNSCHEDULE_NOT_FOUND:
        ShowNotice(owner, type, answer.messageId, fallback, answer.name);
        break;
    default:
        ShowNotice(owner, type, answer.messageId, fallback, answer.name, answer.error);
        break;
    }
}
