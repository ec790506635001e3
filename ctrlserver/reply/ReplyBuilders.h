// The JSON replies of the controller: every query result and acknowledgement that goes back to
// an operator's client, rendered with Json::StyledWriter.
//
// Every builder writes into out, a buffer of outSize bytes, one NUL-terminated text that never
// takes more than outSize bytes; a null out or an outSize of 0 writes nothing. A list reply
// that does not fit keeps the longest run of whole leading elements that fits (with the
// acknowledgement's status unchanged) and logs the cut; when not even one element fits, the
// builder's empty form goes out, its acknowledgement (where it has one) saying "failure". A
// command text too long for the acknowledgement alone is cut at a character boundary.
//
// Shapes: a plain list reply is {root: [items]} and the text "null" for an empty list; a list
// reply with acknowledgement is {root: [items], "ack": [{"cmd", "status"}]} with root null for
// an empty list; a single-object reply is {root: item of the last element}, "null" when empty.
// Within one reply the item of an element starts from the item of the element before it, so a
// key that a builder sets only under a condition repeats the earlier element's value (noted at
// each builder). The status flag gives "success" for any non-zero value.
#pragma once

#include <cstddef>

#include "core/ArrayList.h"
#include "core/Device.h"
#include "core/Records.h"
#include "core/WallRecords.h"

class DevServer;

// --- Acknowledgements ------------------------------------------------------------------------
// {"ack": {"cmd", "status"}}. Nothing is written when cmd is null.
void BuildAckJsonString(unsigned int status, char* cmd, char* out, size_t outSize);
// {"ack": [{"cmd", "status"}]}. Nothing is written when cmd is null.
void BuildNewAckJsonString(unsigned int status, char* cmd, char* out, size_t outSize);

// --- Device lists ----------------------------------------------------------------------------
// "devinfo", encoders and decoders only; "devsplitnum" is set for decoders (carried).
void BuildDevlistJsonString(ArrayList<Device>& list, char* out, size_t outSize);
void BuildDevControllerlistJsonString(ArrayList<Controller>& list, char* out, size_t outSize);
void BuildDevEncoderlistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize);
void BuildDevDecoderlistJsonString(ArrayList<Decoder>& list, char* out, size_t outSize);
// "ipsourcedev"; an empty list gives {"ipsourcedev": null}.
void BuildDevIPSourcelistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize);
void BuildDevFreeDecoderlistJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                                       unsigned int status, char* cmd);
// "devicelist"; "type" is carried for kinds other than 0 and 1.
void BuildNewDevlistJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd);
void BuildNewEncoderlistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                   unsigned int status, char* cmd);
void BuildNewDecoderlistJsonString(ArrayList<Decoder>& list, char* out, size_t outSize,
                                   unsigned int status, char* cmd);
void BuildNewNameparamsJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                                  unsigned int status, char* cmd);
void BuildNewIpclistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd);

// --- Matrix and multiview --------------------------------------------------------------------
void BuildMatrixAckJsonString(ArrayList<Matrix_MV>& list, char* out, size_t outSize,
                              unsigned int status, char* cmd);
// Window keys beyond a decoder's split number are carried.
void BuildMultiViewAckJsonString(ArrayList<Matrix_MV>& list, char* out, size_t outSize,
                                 unsigned int status, char* cmd);
// Window keys beyond the split number and of windows without a source are carried.
void BuildMultiViewWinAckJsonString(ArrayList<Matrix_MV_plus_WIN>& list, char* out, size_t outSize,
                                    unsigned int status, char* cmd);

// --- Device parameters -----------------------------------------------------------------------
void BuildParamsJsonString(ArrayList<Param>& list, char* out, size_t outSize);
void BuildnetparamsJsonString(ArrayList<Device>& list, char* out, size_t outSize);
// "bitrate" is carried for a rate control other than 0 and 1.
void BuildTXParamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                             unsigned int status, char* cmd);
void BuildDecoderparamsJsonString(ArrayList<Decoder>& list, char* out, size_t outSize);
void BuildNewnetparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                 unsigned int status, char* cmd);
void BuildNewIpcParamslistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                     unsigned int status, char* cmd);
// "devbitrate" is carried for a rate control other than 0 and 1.
void BuildEncoderparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize);
void BuildRXParamsJsonString(ArrayList<Decoder>& list, char* out, size_t outSize,
                             unsigned int status, char* cmd);
void BuildIPSourceparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize);
// "rxallparamlist" and "txallparamlist"; an empty list leaves its key out. A cut keeps
// decoders before encoders.
void BuildNewAllparamsJsonString(ArrayList<Decoder>& decoders, ArrayList<Encoder>& encoders,
                                 char* out, size_t outSize, unsigned int status, char* cmd);

// --- Status, version and serial --------------------------------------------------------------
void BuildVersionInfoJsonString(char* out, size_t outSize);
void BuildNewVersionInfoJsonString(char* out, size_t outSize, unsigned int status, char* version,
                                   char* cmd);
// kind: 0 encoder, 1 decoder, 2 controller (by its two low bits).
void BuildDeviceStatusJsonString(int kind, SysInfo info, char* out, size_t outSize);
void BuildSerParmJsonString(DevSerParam& param, char* out, size_t outSize);
void BuildSerByNetParmJsonString(DevSerParam& param, char* out, size_t outSize);
void BuildNewSerParmJsonString(DevSerParam& param, char* out, size_t outSize, unsigned int status,
                               char* cmd);

// --- Windows and screens ---------------------------------------------------------------------
// Windows as "win,used,layer,visible,hStart,hEnd,vStart,vEnd,winId,name".
void BuildVsWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize);
void BuildUniWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize);
// The first window only; "null" for an empty list.
void BuildMulWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize);
// Windows as the same values separated by blanks.
void BuildVsSenceWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd);
// Windows in the blank form whose last value is the address of the encoder named in the
// window's URL (the last such encoder in table order; empty when there is none).
void BuildVsSenceWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                                unsigned int status, char* cmd);
void BuildSingleDisWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                                  unsigned int status, char* cmd);
// As above with the window number as display (win / 5) and window within it (win % 5).
void BuildDisWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                            unsigned int status, char* cmd);
void BuildVsScreenJsonString(ArrayList<VScreen>& list, char* out, size_t outSize);
void BuildUnicastJsonString(ArrayList<Unicast>& list, char* out, size_t outSize);
void BuildRatioJsonString(ArrayList<HVratio>& list, char* out, size_t outSize);
// Slots 0 to modeMax - 1 (at most 4).
void BuildWinModeNameJson(VWMode& modes, char* out, size_t outSize);
void BuildUserModeJsonString(int mode, char* out, size_t outSize);

// --- Scenes ----------------------------------------------------------------------------------
void BuildVsAckJsonString(int id, char* out, size_t outSize, unsigned int status, char* cmd);
void BuildDisplayIdAckJsonString(int id, char* out, size_t outSize, unsigned int status, char* cmd);
// Valid scenes only, nothing carried between scenes.
void BuildVsSenceJsonString(ArrayList<VSence>& scenes, char* out, size_t outSize,
                            unsigned int status, char* cmd);
void BuildVsNewSenceJsonString(ArrayList<VSence>& scenes, char* out, size_t outSize,
                               unsigned int status, char* cmd);
// These two read the first scene and the first screen; either list empty gives root null.
void BuildVsAllNewSenceByIdJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                      char* out, size_t outSize, unsigned int status, char* cmd);
void BuildVsAllNewSenceJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                  char* out, size_t outSize, unsigned int status, char* cmd);
// Scene i with screen i, for the pairs both lists hold.
void BuildVsNewSencevwJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                 char* out, size_t outSize, unsigned int status, char* cmd);
void BuildVsSenceScreenJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                                  unsigned int status, char* cmd);
// Root null for an empty list, [] when no display of any screen has an address.
void BuildVsSenceDisplayListJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                                       unsigned int status, char* cmd);
// One object numbering the cells of all screens in turn; [] for an empty list.
void BuildVsAllSenceJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                               unsigned int status, char* cmd);
