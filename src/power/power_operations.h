#ifndef KELDRIN_POWER_OPERATIONS_H
#define KELDRIN_POWER_OPERATIONS_H

// Operation codes, shared by the command line, the settings, shortcuts and dialogs.
enum PowerOperationCode {
    OPERATION_NONE = 0,
    OPERATION_SHUTDOWN = 1,
    OPERATION_REBOOT = 2,
    OPERATION_STANDBY = 3,
    OPERATION_SLEEP = 4,
    OPERATION_LOGOFF = 5,
    OPERATION_MONITOROFF = 6,
    OPERATION_MONITORLOCK = 7,
    OPERATION_MONITOROFFLOCK = 8,
    OPERATION_SELECT = 9,
};

// Performs the operation for codes 1..8 and nothing for any other code.
// Always 1: nothing that fails here can be mended by the caller. With
// forceIfHung, a program that stopped answering cannot hold up a shut-down,
// restart or log-off (its unsaved work is lost); others may still refuse.
int RunPowerOperation(int operation, bool forceIfHung = false);

// 0 when this machine can do the operation, else the id of the string that
// says why not: standby without S1-S3 and without modern standby, hibernate
// with hibernation unavailable or switched off. A machine whose capabilities
// cannot be read is asked to do it anyway.
int PowerOperationRefusalId(int operation);

#endif
