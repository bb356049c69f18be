// Ids shared by the program and every resource module. The modules' .rc files
// include this header, so an id cannot mean one thing in the code and another
// in a module. Keep it free of C++ so windres can read it.
#ifndef KELDRIN_RESOURCE_IDS_H
#define KELDRIN_RESOURCE_IDS_H

// Icon: the program's file icon and every module's window icon.
#define IDI_KELDRIN                 10

// Dialog templates
#define IDD_MAIN                    101
#define IDD_COUNTDOWN               104
#define IDD_COUNTDOWN_COLOURED      105
#define IDD_SELECT                  106
#define IDD_SELECT_COLOURED         107
#define IDD_WATCH                   108   // the countdown that first waits for its conditions
#define IDD_WATCH_COLOURED          109
#define IDD_SCHEDULES               110   // Keldrin's tasks in the Task Scheduler

// Commands that are not controls
#define IDC_READ_CONTROLS           4   // main dialog reads its controls into the settings
#define IDC_RESTORE_SAVER           4   // countdown puts the screen-saver password back
#define IDC_UPDATE                  6   // main dialog: update at exit
#define IDC_HELP_BUTTON             9   // main dialog: help

// Operation radio buttons: IDC_OPERATION_FIRST + code - 1 for codes 1..9
#define IDC_OPERATION_FIRST         2001
#define IDC_OP_SHUTDOWN             2001
#define IDC_OP_REBOOT               2002
#define IDC_OP_STANDBY              2003
#define IDC_OP_SLEEP                2004
#define IDC_OP_LOGOFF               2005
#define IDC_OP_MONITOROFF           2006
#define IDC_OP_MONITORLOCK          2007
#define IDC_OP_MONITOROFFLOCK       2008
#define IDC_OP_SELECT               2009
#define IDC_OPERATION_LAST          2009

// Destination radio buttons: IDC_DESTINATION_FIRST + destination code
#define IDC_DESTINATION_FIRST       2101
#define IDC_DEST_RUN                2101
#define IDC_DEST_DESKTOP            2102
#define IDC_DEST_QUICKLAUNCH        2103
#define IDC_DEST_SCHEDULE           2104    // repeat with the Task Scheduler
#define IDC_DESTINATION_LAST        2104
#define IDC_SCHEDULE_DAYS           2105    // the days it repeats on (a drop-down list)
#define IDC_SCHEDULE_WAKE           2106    // wake the computer for it
#define IDC_SCHEDULES_BUTTON        2107    // opens the list of Keldrin's tasks

#define IDC_VERSION_TEXT            2201
#define IDC_WAIT_SEC                2202
#define IDC_WAIT_SEC_SPIN           2203
#define IDC_WAIT_MIN                2204
#define IDC_WAIT_MIN_SPIN           2205
#define IDC_REMAINING               2206
#define IDC_OPERATION_CAPTION       2207
#define IDC_WHEN_WAIT               2208    // the count runs for the wait...
#define IDC_WHEN_AT                 2209    // ...or to a time of day
#define IDC_AT_TIME                 2210    // the time of day (a time picker)
#define IDC_WHEN_IDLE               2211    // ...or when the computer has not been used for a while
#define IDC_WHEN_PROGRAM            2212    // ...or when a program has ended
#define IDC_WHEN_QUIET              2213    // ...or when the processor and network are quiet
#define IDC_IDLE_MIN                2214
#define IDC_WATCH_PROGRAM           2215    // an editable combo box of the running programs' names
#define IDC_QUIET_MIN               2216
#define IDC_LATER                   2217    // the countdown's button that opens the postpones
#define IDC_SAVER_LOCK_OFF          2301
#define IDC_SCHEDULES_LIST          2310    // the schedules dialog: the tasks and their next runs
#define IDC_SCHEDULES_REMOVE        2311
#define IDC_SELECT_LIST             2401

// Strings
#define IDS_PRODUCT_NAME            10002
#define IDS_PRODUCT_DESCRIPTION     10003   // what the product is; loaded, never shown
#define IDS_MAKER_NAME              10011   // loaded, never shown
#define IDS_SHORTCUT_DESCRIPTION    10012
#define IDS_SHORTCUT_NAME_MIN_SEC   10101   // %ls product, %ls operation, %ld minutes, %ld seconds
#define IDS_SHORTCUT_NAME_SEC       10102   // %ls product, %ls operation, %ld seconds
#define IDS_SHORTCUT_NAME_NOW       10103   // %ls product, %ls operation
#define IDS_DESKTOP_SHORTCUT_MADE   10104
#define IDS_QUICKLAUNCH_SHORTCUT_MADE 10105
#define IDS_SHORTCUT_FAILED         10106   // %ls the shortcut file that could not be written
#define IDS_WAIT_NOT_A_NUMBER       10107   // main dialog: OK with a wait field that holds no number
#define IDS_SHORTCUT_NAME_AT        10110   // %ls product, %ls operation, %ld hours, %ld minutes
#define IDS_OPERATION_NAME_FIRST    10200   // + code 0..9
#define IDS_OPERATION_NAME_LAST     10209
#define IDS_REMAINING_MIN_SEC       11001   // %ld minutes, %ld seconds
#define IDS_REMAINING_SEC           11002   // %ld seconds
#define IDS_CAPTION_NONE            11003   // + code 1..9 for the captions of the operations
#define IDS_CAPTION_LAST            11012
#define IDS_COUNTDOWN_TITLE         11013   // %ls time left, %ls product: the countdown's window title
#define IDS_POSTPONE_5_MIN          11014   // the window menu's postpone entries
#define IDS_POSTPONE_15_MIN         11015
#define IDS_POSTPONE_1_HOUR         11016
#define IDS_AT_MALFORMED            11030   // %ls what followed --at, which is no time of day
#define IDS_AT_MISSING              11031   // --at with nothing after it
#define IDS_ANOTHER_COUNTDOWN       11032   // %ls the countdown running, %ls the one about to start
#define IDS_CAPTION_AT_NONE         11040   // + code 1..9: the caption of a count to %ls, a time of day
#define IDS_CAPTION_AT_LAST         11049
#define IDS_UNKNOWN_ARGUMENTS       11050   // %ls the arguments that are no option, one to a line
#define IDS_STANDBY_UNAVAILABLE     11060   // standby asked for where the machine has none
#define IDS_HIBERNATE_UNAVAILABLE   11061   // hibernate asked for where it is off or missing
// A watch's refusals: %ls the option and what was given with it
#define IDS_WATCH_NOT_A_NUMBER      11100
#define IDS_WATCH_TIME_RANGE        11101
#define IDS_WATCH_PERCENT_RANGE     11102
#define IDS_WATCH_RATE_RANGE        11103
#define IDS_WATCH_NAME_MISSING      11104   // --after-exit with nothing after it
#define IDS_WATCH_TOO_MANY          11105   // %ls the name one too many
#define IDS_WATCH_NOT_RUNNING       11106   // %ls the name nothing answers to
#define IDS_WATCH_NOT_COMBINED      11107   // %ls the options, one to a line
#define IDS_CAPTION_WATCH_NONE      11110   // + code 1..9: the operation %ls, a condition
#define IDS_CAPTION_WATCH_LAST      11119
#define IDS_WATCH_IDLE              11120   // %ls a duration
#define IDS_WATCH_EXIT              11121   // %ls the programs' names
#define IDS_WATCH_QUIET             11122   // %ls a duration
#define IDS_WATCH_AND               11123   // between two conditions
#define IDS_WATCH_IDLE_NOW          11124   // %ls a duration
#define IDS_WATCH_RUNNING_NOW       11125   // %ls the names, %ld processes
#define IDS_WATCH_QUIET_NOW         11126   // %ld percent, %ld KB/s, %ls a duration
#define IDS_WATCH_MEASURING         11127   // the quiet watch's first seconds
#define IDS_WATCH_TITLE             11128   // %ls what it waits for, %ls product
#define IDS_WATCH_SEPARATOR         11129   // between two measures, and two names
#define IDS_DURATION_MIN            11130   // %ld minutes
#define IDS_DURATION_MIN_SEC        11131   // %ld minutes, %ld seconds
#define IDS_DURATION_SEC            11132   // %ld seconds
// The main dialog's watch choices
#define IDS_MAIN_WATCH_MINUTES      11160   // OK with a watch's minutes field that holds no 1..1440
#define IDS_MAIN_WATCH_NO_PROGRAM   11161   // OK with no program to wait for
#define IDS_MAIN_WATCH_BAD_NAME     11162   // %ls a name no file can have
#define IDS_MAIN_WATCH_NOT_SELECT   11163   // a watch with the operation chosen when it runs
#define IDS_SHORTCUT_NAME_IDLE      11170   // %ls product, %ls operation, %ld minutes
#define IDS_SHORTCUT_NAME_EXIT      11171   // %ls product, %ls operation, %ls the program
#define IDS_SHORTCUT_NAME_QUIET     11172   // %ls product, %ls operation, %ld minutes
// Other computers: the notice each target shows (%ls this computer's name),
// each one's answer, the message box that lists them, the refusals
#define IDS_REMOTE_MESSAGE_SHUTDOWN 11200
#define IDS_REMOTE_MESSAGE_RESTART  11201
#define IDS_REMOTE_ASKED            11202   // %ls a computer's name
#define IDS_REMOTE_FAILED           11203   // %ls the name, %ld the system's error code, %ls its text
#define IDS_REMOTE_BOX_SHUTDOWN     11204   // %ls the answers, one to a line
#define IDS_REMOTE_BOX_RESTART      11205
#define IDS_REMOTE_BOX_CANCEL       11206
#define IDS_REMOTE_OPERATION        11210   // %ls what other computers cannot be asked (an operation, --at, a condition)
#define IDS_REMOTE_NAME_MISSING     11211   // --computer with no name after it
#define IDS_REMOTE_LIST_MISSING     11212   // --computers with no file after it
#define IDS_REMOTE_LIST_UNREADABLE  11213   // %ls the file
#define IDS_REMOTE_LIST_EMPTY       11214   // %ls the file
// Repeating through the Task Scheduler: the days, the task's name, what
// registering came to, the refusals of the command line, the schedules dialog
#define IDS_SCHEDULE_DAYS_EVERY     11300   // + 0..2: every day, Monday to Friday, Saturday and Sunday
#define IDS_SCHEDULE_DAYS_WEEKDAYS  11301
#define IDS_SCHEDULE_DAYS_WEEKENDS  11302
#define IDS_SCHEDULE_DAY_SEPARATOR  11309   // between two days' names
#define IDS_SCHEDULE_DAY_FIRST      11310   // + 0 Sunday .. 6 Saturday
#define IDS_SCHEDULE_DAY_LAST       11316
#define IDS_SCHEDULE_NAME           11320   // %ls operation, %ld hours, %ld minutes, %ls days
#define IDS_SCHEDULE_REGISTERED     11330   // %ls the task's name
#define IDS_SCHEDULE_NEEDS_VISTA    11331
#define IDS_SCHEDULE_FAILED         11332   // %ls the task's name, %ls the error
#define IDS_SCHEDULE_NOT_SELECT     11333   // the main dialog: the operation chosen when it runs
#define IDS_SCHEDULE_DAYS_MALFORMED 11340   // %ls what followed --every
#define IDS_SCHEDULE_DAYS_MISSING   11341
#define IDS_SCHEDULE_AT_NEEDED      11342
#define IDS_SCHEDULE_OPERATION_NEEDED 11343
#define IDS_UNSCHEDULE_MISSING      11345
#define IDS_UNSCHEDULE_NOT_FOUND    11346   // %ls the name
#define IDS_UNSCHEDULE_FAILED       11347   // %ls the name, %ls the error
#define IDS_SCHEDULES_NO_NEXT_RUN   11350   // the list's next run of a task that has none
#define IDS_SCHEDULES_COLUMN_NAME   11351
#define IDS_SCHEDULES_COLUMN_NEXT   11352

// The notification area: the icon's menu and the notice of the last minute
#define IDS_TRAY_SHOW               11400
#define IDS_TRAY_RUN_NOW            11401
#define IDS_TRAY_CANCEL             11402
#define IDS_LAST_MINUTE_NOTICE      11403   // %ls the operation and the time left

#endif
