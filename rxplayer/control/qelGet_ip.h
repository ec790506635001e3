// The decoder's network identity: addresses, MACs, netmasks and gateway read from the kernel,
// the checks of address and MAC texts from commands, and the two discovery answers.
#pragma once

#include <mutex>

// Entry 0 = eth0, 1 = eth1. Guarded by gNetLock.
extern unsigned char IP_info[2][128];
extern unsigned char MAC_info[2][128];
extern unsigned char MASK_info[2][128];
extern unsigned char GW_info[2][128];

typedef struct {
    char IP[50];
    char IP_tmp[50];
    char Mac[50];
    char Netmask[50];
    char Netmask_tmp[50];
    char Gateway[50];
    char Gateway_tmp[50];
} netPm;
extern netPm MyNetParam;
extern std::recursive_mutex gNetLock;

extern unsigned char buffer_BroadCast[1024];

unsigned int get_IP_MAC(void);
// Copies the eth0 entries of the tables into MyNetParam.
void fillNetParamFromTables();
int checkValidIP(const unsigned char* ip);
int ereg(const char* pattern, const char* text);
int checkValidMAC(const unsigned char* mac);
void* deleteChar(char* str, char c);
void SetMacParam(const char* MacAddr);
void SetNetParam(const char* IPAddr, const char* MacAddr, const char* Netmask, const char* Gateway);
// The discovery answers, formatted into buffer_BroadCast (text returned) and broadcast once.
int broadCastSend(void);
int broadCastSendOrg(void);
// Formats the two answers without sending them; the length of the text.
int formatDiscovery(char* out, int size);
int formatDiscoveryOrg(char* out, int size);
// True when text is the eth0 or eth1 address (never an entry that is empty or "empty").
bool isOwnAddress(const char* text);
int w_isalmun(char cChr);
void DbgOut(const char* pFormat);
