#include "ui/select_dialog.h"

#include "context/app_context.h"
#include "base/owned_string.h"
#include "power/power_operations.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/notice.h"

namespace {

const int kEntries = 9;  // codes 0..8; the index of an entry is its operation code

int g_selectIndex = 0;
ColouredLook g_look;

INT_PTR OnInitDialog(HWND dialog)
{
    // The brushes exist before the frame is shown: showing it paints.
    ColouredLookCreate(&g_look, dialog);
    InitDialogFrame(dialog);

    wchar_t title[KELDRIN_TEXT_UNITS];
    const wchar_t *product = g_app->productName ? g_app->productName : L"";
    FormatText(title, COUNTOF(title), L"%ls %ls", product, g_app->ShortVersionText());
    SetDlgItemTextW(dialog, IDC_VERSION_TEXT, title);

    g_selectIndex = g_settings.selection;
    HWND list = GetDlgItem(dialog, IDC_SELECT_LIST);
    for (int i = 0; i < kEntries; i++) {
        const wchar_t *name = LoadResString(g_resourceModule, IDS_OPERATION_NAME_FIRST + i, -1);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name ? name : L""));
    }
    // An index outside the list selects nothing and stays as it is.
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(g_selectIndex), 0);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD notification)
{
    switch (id) {
    case IDC_SELECT_LIST:
        if (notification == CBN_SELCHANGE)
            g_selectIndex = static_cast<int>(SendDlgItemMessageW(dialog, IDC_SELECT_LIST, CB_GETCURSEL, 0, 0));
        return TRUE;
    case IDOK:
        // The list stays on screen for another choice.
        if (RefusedOnThisMachine(dialog, g_selectIndex)) return TRUE;
        EndDialog(dialog, IDOK);
        ColouredLookDelete(&g_look);
        g_settings.selection = g_selectIndex;
        g_settings.operation = g_selectIndex;
        // Saved before the operation: after a shutdown there is no later.
        SaveSettings();
        RunPowerOperation(g_settings.operation, g_settings.force == 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        ColouredLookDelete(&g_look);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK SelectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_DPICHANGED:
        return DialogDpiChanged(dialog, wParam);
    case WM_DESTROY:
        // OK and Cancel have deleted the brushes already; any other ending has not.
        ColouredLookDelete(&g_look);
        return FALSE;
    default:
        return ColouredLookMessage(g_look, message, wParam, lParam, L"OK", L"Cancel");
    }
}

void RunSelectDialog(HWND owner, int templateId)
{
    DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(templateId), owner, SelectDialogProc, 0);
}
