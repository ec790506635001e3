// The controller's device manager: the device, encoder, decoder, controller and IP-source
// tables with their files under /mnt, the queued road of controller-side commands to the
// devices (the CmdProcess thread), acknowledged commands, discovery, firmware and resource
// updates, serial settings, the CSV export, IP sources, the queries and the controller's own
// settings.
//
// Locking: the five tables (and the records in them) are shared by the command thread, the
// CmdProcess thread and the direct senders; every operation that reads or changes them holds
// tableMutex. It is recursive, so an operation may call another one while holding it. It is
// never held across a network wait: a send, the pause after it and every wait for a reply run
// without it (take the values a send needs under the lock, then release it before sending).
// The QelConfig files have their own locks; they may be taken while tableMutex is held, never
// the other way round.
#pragma once

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/ArrayList.h"
#include "core/Device.h"
#include "core/QelConfig.h"
#include "core/QelServer.h"
#include "core/Records.h"
#include "device/DevCmdTable.h"

// A table never holds more than this many records.
const int QEL_MAX_DEVICES = 255;

// Kinds selecting tables and files (the kind/dtype values of the tables).
const int QEL_KIND_ENCODER = 0;
const int QEL_KIND_DECODER = 1;
const int QEL_KIND_CONTROLLER = 2;
const int QEL_KIND_ALL = 4;

// The device files (box paths).
extern const char* const QEL_DECODER_FILE;     // "/mnt/qeldevDecoder.ini"
extern const char* const QEL_ENCODER_FILE;     // "/mnt/qeldevEncoder.ini"
extern const char* const QEL_CONTROLLER_FILE;  // "/mnt/qeldevController.ini"
extern const char* const QEL_IPSOURCE_FILE;    // "/mnt/qeldevIPSource.ini"

// Thread body of the command-sending thread; arg is the DevServer. Returns at once for null.
void* CmdProcess(void* arg);

// Set once the TFTP server has been started; the start is a test-and-set on it.
extern std::atomic<int> iRunTftpd;
// Thread body that starts the TFTP server serving /dev/tftpboot/ the first time only.
void* tftpdProcess(void* arg);

class DevServer : public QelServer {
public:
    static DevServer* createNew(UsageEnvironment& env, Port port, unsigned int arg);
    ~DevServer() override;

    // --- Device server set-up -------------------------------------------------------------
    // Finds the first record with address ip (kind 1 decoders, 0 encoders, 2 controllers,
    // 4 all three in that order) and sets its name and status. Returns its position in its
    // table, 0 when nothing matches. Writes no file.
    int iUpdateQelDevice(int kind, std::string ip, std::string name, int status);

    // --- Command sending thread -----------------------------------------------------------
    // Most texts the command queue holds. CmdProcess sends one about every 15 ms, so a
    // full queue is some fifteen seconds of backlog; an operator changing the wall faster than
    // that gets refusals instead of a queue (and memory) that grows without end.
    static constexpr int QEL_DEV_QUEUE_MAX = 1024;
    // Queues a controller-side command for CmdProcess and returns 0 at once; arg is unused.
    // A text too long for any buffer is dropped with a message (still 0); -1, with a message,
    // when the queue is full.
    int cmdQelDev(char* cmd, char* arg);
    // Queues the texts of one change as a whole, back to back, or none of them: 0, or -1 with
    // a message when they would take the queue past QEL_DEV_QUEUE_MAX. Over-long texts are
    // dropped alone, as by cmdQelDev. A group larger than the bound itself is taken only into an
    // empty queue, so a large scene recall waits for nothing to be ahead of it and is never cut.
    int cmdQelDevGroup(const std::vector<std::string>& texts);
    // Sends one controller-side command to port 8888 of ip (broadcast for "255.255.255.255")
    // and mirrors it into the tables and files; returns 0. cmd must be writable. A text that
    // matches no row, an ip that is not a dotted IPv4 address or a wire text over 1023 bytes is
    // not sent (with a message) and mirrors nothing. Does not take tableMutex while sending.
    int cmdQelDevInternal(char* cmd, char* ip);
    // Renames an IP source locally ("config set ipsource name <address> <name>"); returns 0.
    int cmdQelNoDevInternal(char* cmd);
    // The mirroring step of cmdQelDevInternal for a command that was sent: name and
    // parameter changes go into the decoder and encoder tables and their files.
    void mirrorQelDevCmd(const char* cmd);
    // Handles one text taken from the command queue, as CmdProcess does (tests call it).
    void processQueuedCmd(char* text);

    // --- Acknowledged device commands -----------------------------------------------------
    // Broadcasts cmd from port 8887 and waits for the acknowledgement; appends its values.
    // Returns ackFieldCount - 2, -1 or 0 as described with the operation.
    int cmdDev(char* cmd, ArrayList<Param>& values, unsigned int arg);

    // --- Discovery ------------------------------------------------------------------------
    int iFindQelDevices(int flags, ArrayList<Device>& found, unsigned int arg);
    // 0: rebuild the encoder, decoder and controller tables from the device table; otherwise
    // load them from the files. Then reload the IP-source table; returns that load's result.
    bool blBuildQelDevices(unsigned int fromFiles);

    // --- Firmware and resource update -----------------------------------------------------
    bool blUpdateFirmware(char* target, char* file, char* filesize, char* type);
    bool blUpdateRes(char* target, char* file, char* filesize, char* type);
    int cmdQelUpdateInternal(char* cmd, char* ip);

    // --- Serial parameters ----------------------------------------------------------------
    bool blQelGetDevSerialParams(int kind, char* text, DevSerParam& out);
    bool blQelGetDevSerialByNetParams(DevSerParam& out);
    bool blQelSetDevSerialParams(int kind, char* text, DevSerParam& out, int& changed);

    // --- Device list export ---------------------------------------------------------------
    bool blSaveQelDeviceToCsvConfig();

    // --- Device table files ---------------------------------------------------------------
    // Loads the decoder, encoder and controller tables from their files; true.
    bool blGetQelDeviceFromConfig();
    // Loads the IP-source table; records with an empty "ip" are skipped. True.
    bool blGetQelEncoderFromConfig();
    // Rewrites whole files: kind 1 decoders, 0 encoders, 2 controllers, 4 all three. True.
    bool blSaveQelDeviceToConfig(int kind);
    // Writes only the values that differ from the file (a missing key counts as differing);
    // the count key, with the save, only when something differed. True.
    bool blNewSaveQelDeviceToConfig(int kind);
    // The same changes-only write for the IP-source table. True.
    bool blSaveQelEncoderToConfig();
    // Rewrites the whole IP-source file (after a camera was added or removed). True.
    bool blSaveQelIPSourceFileToConfig();

    // --- IP sources -----------------------------------------------------------------------
    bool blAddQelIPSource(char* args);
    bool blAddQelIPSource_2(char* args);
    bool blRemoveQelIPSource(char* args);

    // --- Device queries (append heap copies; never clear the list) -------------------------
    int iGetQelDevices(ArrayList<Device>& list);
    int iGetQelDevicesIncludeIpc(ArrayList<Device>& list);
    int iGetQelDevicesDecoders(ArrayList<Device>& list);
    int iGetQelDevices(ArrayList<Device>& list, const char* ip);
    int iGetQelDevices(ArrayList<Decoder>& decoderList, ArrayList<Encoder>& encoderList,
                       const char* ip);
    int iGetQelDeviceWithMac(ArrayList<Device>& list, const char* mac);
    int iGetQelDecoderDevices(ArrayList<Decoder>& list);
    int iGetQelDecoderParamsWithIP(ArrayList<Decoder>& list, const char* ip);
    int iGetQelEncoderDevices(ArrayList<Encoder>& list);
    int iGetQelEncoderParamsWithIP(ArrayList<Encoder>& list, const char* ip);
    int iGetQelIPSource(ArrayList<Encoder>& list);
    int iGetQelIPSourceWithIP(const char* ip, ArrayList<Encoder>& list);
    int iGetQelEncoderIPSourceDevices(ArrayList<Encoder>& list);
    int iGetQelControllerDevices(ArrayList<Controller>& list);
    std::string iGetQelEncoderUrl(const char* ip);

    // --- Controller settings --------------------------------------------------------------
    bool blGetSysStatus(SysInfo& info);
    bool blGetDevStatus(int kind, char* ip, SysInfo& info);
    bool blSetControllerMaster(char* args);
    bool blGetControllerMaster();
    bool blSetSysPass(char* pass);
    bool blCheckSysPass(char* pass);
    bool blUpdateServerIP(char* ip);
    bool blFactoryResetToDefault(char* ip);
    bool blReboot(char* ip);
    bool blRestorefactory(char* ip);

    // --- Members --------------------------------------------------------------------------
    // Each table owns its records; entries at and beyond the count are null. Every record's
    // index is its position. Code outside DevServer holds tableMutex while it uses them.
    Device* devices[QEL_MAX_DEVICES];  // the devices of the last discovery, address order
    int deviceCount;
    Encoder* encoders[QEL_MAX_DEVICES];
    int encoderCount;
    Encoder* ipSources[QEL_MAX_DEVICES];  // IP cameras
    int ipSourceCount;
    Decoder* decoders[QEL_MAX_DEVICES];
    int decoderCount;
    Controller* controllers[QEL_MAX_DEVICES];
    int controllerCount;

    QelConfig* decoderConfig;     // "/mnt/qeldevDecoder.ini"
    QelConfig* encoderConfig;     // "/mnt/qeldevEncoder.ini"
    QelConfig* controllerConfig;  // "/mnt/qeldevController.ini"
    QelConfig* ipSourceConfig;    // "/mnt/qeldevIPSource.ini"

    SysInfo sysInfo;       // platform, state and feature texts
    std::string serverIP;  // the controller's own address; empty until set

    // Guards the five tables, their records and serverIP (see the top of this file).
    mutable std::recursive_mutex tableMutex;

protected:
    DevServer(UsageEnvironment& env, Port port, unsigned int arg);

private:
    // Releases every record of a table and sets its count to 0.
    template <class T>
    static void clearTable(T** table, int& count);

    pthread_t cmdThread;
    bool cmdThreadStarted;
    // Makes the room check and the adding of a text or group one step, so two writers
    // cannot both fill the last places; CmdProcess only takes texts out.
    std::mutex cmdQueueAddMutex;
};
