// The Task Scheduler 2.0 through its COM interfaces. XP has only the older
// Task Scheduler, without them: CoCreateInstance answers REGDB_E_CLASSNOTREG,
// so nothing here is needed from a DLL that XP lacks.
#include "schedule/schedule_system.h"

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

#include "base/owned_string.h"

namespace {

// COM for the length of one call, and the service connected to this computer
// as the user who runs Keldrin.
class Scheduler {
public:
    Scheduler()
    {
        comReady_ = SUCCEEDED(CoInitialize(nullptr));
        result_ = comReady_ ? S_OK : E_FAIL;
        if (comReady_)
            result_ = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                       reinterpret_cast<void **>(&service_));
        if (SUCCEEDED(result_)) {
            VARIANT empty;
            VariantInit(&empty);
            result_ = service_->Connect(empty, empty, empty, empty);
        }
    }
    ~Scheduler()
    {
        if (service_) service_->Release();
        if (comReady_) CoUninitialize();
    }
    Scheduler(const Scheduler &) = delete;
    Scheduler &operator=(const Scheduler &) = delete;

    HRESULT Result() const { return result_; }

    // The folder, created below the root when asked and missing.
    HRESULT Folder(const wchar_t *path, bool create, ITaskFolder **folder)
    {
        *folder = nullptr;
        if (FAILED(result_)) return result_;
        BSTR name = SysAllocString(path);
        if (!name) return E_OUTOFMEMORY;
        HRESULT result = service_->GetFolder(name, folder);
        if (FAILED(result) && create) {
            ITaskFolder *root = nullptr;
            BSTR rootName = SysAllocString(L"\\");
            result = rootName ? service_->GetFolder(rootName, &root) : E_OUTOFMEMORY;
            if (SUCCEEDED(result)) {
                VARIANT sddl;
                VariantInit(&sddl);
                result = root->CreateFolder(name, sddl, folder);
                root->Release();
            }
            SysFreeString(rootName);
        }
        SysFreeString(name);
        return result;
    }

private:
    bool comReady_ = false;
    HRESULT result_ = E_FAIL;
    ITaskService *service_ = nullptr;
};

}  // namespace

HRESULT ScheduleRegisterTask(const wchar_t *folderPath, const wchar_t *name, const wchar_t *xml)
{
    Scheduler scheduler;
    ITaskFolder *folder = nullptr;
    HRESULT result = scheduler.Folder(folderPath, true, &folder);
    if (FAILED(result)) return result;
    BSTR taskName = SysAllocString(name);
    BSTR taskXml = SysAllocString(xml);
    if (taskName && taskXml) {
        VARIANT empty;
        VariantInit(&empty);
        IRegisteredTask *task = nullptr;
        // The user's own logon: the task runs only while they are logged on,
        // on their desktop, and no password is stored.
        result = folder->RegisterTask(taskName, taskXml, TASK_CREATE_OR_UPDATE, empty, empty,
                                      TASK_LOGON_INTERACTIVE_TOKEN, empty, &task);
        if (task) task->Release();
    } else {
        result = E_OUTOFMEMORY;
    }
    SysFreeString(taskXml);
    SysFreeString(taskName);
    folder->Release();
    return result;
}

HRESULT ScheduleDeleteTask(const wchar_t *folderPath, const wchar_t *name)
{
    Scheduler scheduler;
    ITaskFolder *folder = nullptr;
    HRESULT result = scheduler.Folder(folderPath, false, &folder);
    if (FAILED(result)) return scheduler.Result() == S_OK ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : result;
    BSTR taskName = SysAllocString(name);
    result = taskName ? folder->DeleteTask(taskName, 0) : E_OUTOFMEMORY;
    SysFreeString(taskName);
    folder->Release();
    return result;
}

namespace {

// The task's name and next run into entry.
void Describe(IRegisteredTask *task, ScheduledTask *entry)
{
    *entry = ScheduledTask();
    BSTR name = nullptr;
    if (SUCCEEDED(task->get_Name(&name)) && name) {
        CopyText(entry->name, COUNTOF(entry->name), name);
        SysFreeString(name);
    }
    // The next run in local time; 0 when the task has none.
    DATE next = 0;
    entry->hasNextRun = SUCCEEDED(task->get_NextRunTime(&next)) && next > 0 &&
                        VariantTimeToSystemTime(next, &entry->nextRun);
}

}  // namespace

HRESULT ScheduleFindTask(const wchar_t *folderPath, const wchar_t *name, ScheduledTask *entry)
{
    Scheduler scheduler;
    ITaskFolder *folder = nullptr;
    HRESULT result = scheduler.Folder(folderPath, false, &folder);
    if (FAILED(result)) return scheduler.Result() == S_OK ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : result;
    BSTR taskName = SysAllocString(name);
    IRegisteredTask *task = nullptr;
    result = taskName ? folder->GetTask(taskName, &task) : E_OUTOFMEMORY;
    if (SUCCEEDED(result) && task) {
        Describe(task, entry);
        task->Release();
    }
    SysFreeString(taskName);
    folder->Release();
    return result;
}

HRESULT ScheduleListTasks(const wchar_t *folderPath, ScheduledTask *tasks, int most, int *count)
{
    *count = 0;
    Scheduler scheduler;
    if (FAILED(scheduler.Result())) return scheduler.Result();
    ITaskFolder *folder = nullptr;
    if (FAILED(scheduler.Folder(folderPath, false, &folder))) return S_OK;
    IRegisteredTaskCollection *collection = nullptr;
    HRESULT result = folder->GetTasks(TASK_ENUM_HIDDEN, &collection);
    // Wine's collection answers every question with E_NOTIMPL, which the caller is told.
    LONG total = 0;
    if (SUCCEEDED(result)) result = collection->get_Count(&total);
    for (LONG i = 1; SUCCEEDED(result) && i <= total && *count < most; i++) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        IRegisteredTask *task = nullptr;
        if (FAILED(collection->get_Item(index, &task)) || !task) break;
        Describe(task, &tasks[(*count)++]);
        task->Release();
    }
    if (collection) collection->Release();
    folder->Release();
    return result;
}
