#include "ui/watch_view.h"

#include "base/owned_string.h"
#include "context/app_context.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "ui/countdown_dialog.h"

namespace {

// The module's format when it takes exactly these arguments, else a neutral one.
const wchar_t *Format(int id, const char *arguments, const wchar_t *fallback)
{
    return LoadResFormat(g_resourceModule, id, arguments, fallback);
}

const wchar_t *Text(int id, const wchar_t *fallback)
{
    const wchar_t *text = LoadResString(g_resourceModule, id, -1);
    return text && text[0] ? text : fallback;
}

void AppendPart(wchar_t *buffer, size_t units, const wchar_t *part, const wchar_t *separator)
{
    if (buffer[0]) AppendText(buffer, units, separator);
    AppendText(buffer, units, part);
}

void ProgramNames(wchar_t *buffer, size_t units, const WatchConditions *conditions)
{
    buffer[0] = L'\0';
    for (int i = 0; i < conditions->programCount; i++)
        AppendPart(buffer, units, conditions->programs[i], Text(IDS_WATCH_SEPARATOR, L", "));
}

// The lines wrap when several conditions are watched: a number stays with
// its unit ("0 KB/s", "10 min"), which the English modules, ASCII only,
// cannot say themselves with a no-break space.
void KeepNumbersWithUnits(wchar_t *text)
{
    for (wchar_t *c = text; *c; c++)
        if (*c == L' ' && c > text && c[-1] >= L'0' && c[-1] <= L'9') *c = L'\x00A0';
}

}  // namespace

void DurationText(wchar_t *buffer, size_t units, int seconds)
{
    const long minutes = seconds / 60, rest = seconds % 60;
    if (minutes && rest)
        FormatText(buffer, units, Format(IDS_DURATION_MIN_SEC, "dd", L"%ld:%02ld"), minutes, rest);
    else if (minutes)
        FormatText(buffer, units, Format(IDS_DURATION_MIN, "d", L"%ld min"), minutes);
    else
        FormatText(buffer, units, Format(IDS_DURATION_SEC, "d", L"%ld s"), rest);
}

void WatchCaptionText(wchar_t *buffer, size_t units, int operation, const WatchConditions *conditions)
{
    wchar_t condition[KELDRIN_TEXT_UNITS] = L"", part[KELDRIN_TEXT_UNITS], value[KELDRIN_TEXT_UNITS];
    const wchar_t *and_ = Text(IDS_WATCH_AND, L" and ");
    if (conditions->idleSec > 0) {
        DurationText(value, COUNTOF(value), conditions->idleSec);
        FormatText(part, COUNTOF(part), Format(IDS_WATCH_IDLE, "s", L"%ls"), value);
        AppendPart(condition, COUNTOF(condition), part, and_);
    }
    if (conditions->programCount > 0) {
        ProgramNames(value, COUNTOF(value), conditions);
        FormatText(part, COUNTOF(part), Format(IDS_WATCH_EXIT, "s", L"%ls"), value);
        AppendPart(condition, COUNTOF(condition), part, and_);
    }
    if (conditions->quietSec > 0) {
        DurationText(value, COUNTOF(value), conditions->quietSec);
        FormatText(part, COUNTOF(part), Format(IDS_WATCH_QUIET, "s", L"%ls"), value);
        AppendPart(condition, COUNTOF(condition), part, and_);
    }
    int id = IDS_CAPTION_WATCH_NONE + (OperationCaptionId(operation) - IDS_CAPTION_NONE);
    FormatText(buffer, units, Format(id, "s", L"%ls"), condition);
    KeepNumbersWithUnits(buffer);
}

void WatchMeasureText(wchar_t *buffer, size_t units, const WatchConditions *conditions, const WatchStatus *status)
{
    buffer[0] = L'\0';
    wchar_t part[KELDRIN_TEXT_UNITS], value[KELDRIN_TEXT_UNITS];
    const wchar_t *separator = Text(IDS_WATCH_SEPARATOR, L", ");
    if (conditions->idleSec > 0) {
        DurationText(value, COUNTOF(value), status->idleSec);
        FormatText(part, COUNTOF(part), Format(IDS_WATCH_IDLE_NOW, "s", L"%ls"), value);
        AppendPart(buffer, units, part, separator);
    }
    if (conditions->programCount > 0) {
        ProgramNames(value, COUNTOF(value), conditions);
        if (status->running < 0)  // the processes could not be listed: no count to show
            FormatText(part, COUNTOF(part), L"%ls: ?", value);
        else
            FormatText(part, COUNTOF(part), Format(IDS_WATCH_RUNNING_NOW, "sd", L"%ls: %ld"), value,
                       static_cast<long>(status->running));
        AppendPart(buffer, units, part, separator);
    }
    if (conditions->quietSec > 0) {
        if (status->cpuPercent < 0) {
            CopyText(part, COUNTOF(part), Text(IDS_WATCH_MEASURING, L"..."));
        } else {
            DurationText(value, COUNTOF(value), status->quietForSec);
            FormatText(part, COUNTOF(part), Format(IDS_WATCH_QUIET_NOW, "dds", L"%ld %%, %ld KB/s, %ls"),
                       static_cast<long>(status->cpuPercent), static_cast<long>(status->netKBs), value);
        }
        AppendPart(buffer, units, part, separator);
    }
    KeepNumbersWithUnits(buffer);
}

void WatchTitleText(wchar_t *buffer, size_t units, const wchar_t *measure)
{
    FormatText(buffer, units, Format(IDS_WATCH_TITLE, "ss", L"%ls - %ls"), measure,
               g_app && g_app->productName ? g_app->productName : L"");
}
