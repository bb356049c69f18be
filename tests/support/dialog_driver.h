// Helpers for running the program's real modal dialogs inside a test: a
// driver that acts on the dialog from inside its own message loop, and a
// record of every text the dialog sets.
//
// DialogBoxParamW does not return until the dialog ends, so the test's steps
// run from a thread timer, which the dialog's modal loop dispatches like any
// other message. Every driven dialog has a time limit: past it the driver
// cancels the dialog and the test fails instead of hanging.
#ifndef KELDRIN_TEST_DIALOG_DRIVER_H
#define KELDRIN_TEST_DIALOG_DRIVER_H

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Runs steps(dialog, msSinceItAppeared) every ~20 ms while a visible dialog
// of this thread is open. After limitMs the dialog is cancelled and
// timedOut() is true.
class DialogDriver {
public:
    typedef std::function<void(HWND dialog, DWORD elapsedMs)> Steps;

    DialogDriver(Steps steps, DWORD limitMs) : steps_(steps), limitMs_(limitMs)
    {
        Current() = this;
        timer_ = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~DialogDriver()
    {
        KillTimer(nullptr, timer_);
        Current() = nullptr;
    }
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    bool timedOut() const { return timedOut_; }
    bool sawDialog() const { return firstSeen_ != 0; }

private:
    static DialogDriver *&Current()
    {
        static DialogDriver *current = nullptr;
        return current;
    }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM found)
    {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0) {
            *reinterpret_cast<HWND *>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        DialogDriver *self = Current();
        if (!self || self->busy_) return;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) return;
        DWORD now = GetTickCount();
        if (!self->firstSeen_) self->firstSeen_ = now ? now : 1;
        DWORD elapsed = now - self->firstSeen_;
        if (elapsed > self->limitMs_) {
            self->timedOut_ = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        // A step may run a nested loop (the dialog's own commands do); no
        // second step starts inside it.
        self->busy_ = true;
        self->steps_(dialog, elapsed);
        self->busy_ = false;
    }

    Steps steps_;
    DWORD limitMs_;
    UINT_PTR timer_ = 0;
    DWORD firstSeen_ = 0;
    bool timedOut_ = false;
    bool busy_ = false;
};

// Every WM_SETTEXT sent to a control of this thread while it lives, with the
// control's id and the time it came.
struct SetTextRecord {
    int controlId;
    std::wstring text;
    DWORD tick;
};

class SetTextRecorder {
public:
    // Recorders may nest; one hook serves all that are alive.
    SetTextRecorder()
    {
        if (Active().empty()) Hook() = SetWindowsHookExW(WH_CALLWNDPROC, OnMessage, nullptr, GetCurrentThreadId());
        Active().push_back(this);
    }
    ~SetTextRecorder()
    {
        std::vector<SetTextRecorder *> &active = Active();
        for (size_t i = 0; i < active.size(); i++)
            if (active[i] == this) active.erase(active.begin() + static_cast<std::ptrdiff_t>(i));
        if (active.empty() && Hook()) {
            UnhookWindowsHookEx(Hook());
            Hook() = nullptr;
        }
    }
    SetTextRecorder(const SetTextRecorder &) = delete;
    SetTextRecorder &operator=(const SetTextRecorder &) = delete;

    bool hooked() const { return Hook() != nullptr; }

    // Texts set on one control, in order.
    std::vector<std::wstring> TextsOf(int controlId) const
    {
        std::vector<std::wstring> texts;
        for (const SetTextRecord &record : records)
            if (record.controlId == controlId) texts.push_back(record.text);
        return texts;
    }

    std::vector<SetTextRecord> records;
    DWORD initDialogTick = 0;

private:
    static std::vector<SetTextRecorder *> &Active()
    {
        static std::vector<SetTextRecorder *> active;
        return active;
    }
    static HHOOK &Hook()
    {
        static HHOOK hook = nullptr;
        return hook;
    }

    static LRESULT CALLBACK OnMessage(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT *message = reinterpret_cast<const CWPSTRUCT *>(lParam);
        if (code == HC_ACTION && message) {
            DWORD now = GetTickCount();
            bool isText = message->message == WM_SETTEXT && (GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD);
            const wchar_t *text = isText ? reinterpret_cast<const wchar_t *>(message->lParam) : nullptr;
            for (SetTextRecorder *self : Active()) {
                if (message->message == WM_INITDIALOG && !self->initDialogTick) self->initDialogTick = now;
                if (isText) self->records.push_back(SetTextRecord{GetDlgCtrlID(message->hwnd), text ? text : L"", now});
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

}  // namespace testsupport

#endif
