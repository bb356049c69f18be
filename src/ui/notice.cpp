#include "ui/notice.h"

#include "base/owned_string.h"
#include "context/app_context.h"
#include "resources/format_check.h"
#include "resources/resource_module.h"

int ShowNotice(HWND owner, UINT type, int messageId, const wchar_t *fallback, const wchar_t *first,
               const wchar_t *second)
{
    const char *arguments = second ? "ss" : first ? "s" : "";
    const wchar_t *format = LoadResString(g_resourceModule, messageId, -1);
    if (!format || !format[0] || !FormatMatches(format, arguments)) format = fallback;
    wchar_t message[3 * KELDRIN_TEXT_UNITS];
    FormatText(message, COUNTOF(message), format, first, second);
    const wchar_t *caption = g_app && g_app->productName ? g_app->productName : L"";
    return MessageBoxW(owner, message, caption, type);
}
