// What a video capture driver and its client (the capture layer) exchange through DriverProc:
// the DVM_* messages, their records and result codes.
// 64-bit rule: fields that hold an address or a handle are pointer-sized; sizes below are
// pinned for both widths (32-bit figures in the comments).
#pragma once

#include "mmsystem.h"
#include "win32/gdi_types.h"
#include "win32/types.h"

typedef DWORD FOURCC;
#define mmioFOURCC(a, b, c, d)                                                                     \
    (static_cast<FOURCC>(static_cast<BYTE>(a)) |                                                   \
     (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |                                            \
     (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) |                                           \
     (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24))

// The interface version the capture layer announces in VIDEO_OPEN_PARMS.
#define VIDEOAPIVERSION 4u

// Channels (dwFlags of VIDEO_OPEN_PARMS).
#define VIDEO_EXTERNALIN 0x0001u
#define VIDEO_EXTERNALOUT 0x0002u
#define VIDEO_IN 0x0004u
#define VIDEO_OUT 0x0008u

// DVM_DIALOG flags.
#define VIDEO_DLG_QUERY 0x0010u

// Flags of the configure messages (DVM_FORMAT, DVM_PALETTE, DVM_PALETTERGB555, rectangles)
// and of DVM_CONFIGURESTORAGE.
#define VIDEO_CONFIGURE_QUERYSIZE 0x0001u
#define VIDEO_CONFIGURE_CURRENT 0x0010u
#define VIDEO_CONFIGURE_NOMINAL 0x0020u
#define VIDEO_CONFIGURE_MIN 0x0040u
#define VIDEO_CONFIGURE_MAX 0x0080u
#define VIDEO_CONFIGURE_SET 0x1000u
#define VIDEO_CONFIGURE_GET 0x2000u
#define VIDEO_CONFIGURE_QUERY 0x8000u

// Channel capability flags (CHANNEL_CAPS.dwFlags).
#define VCAPS_OVERLAY 0x0001u
#define VCAPS_SRC_CAN_CLIP 0x0002u
#define VCAPS_DST_CAN_CLIP 0x0004u
#define VCAPS_CAN_SCALE 0x0008u

// Video header flags.
#define VHDR_DONE 0x0001u
#define VHDR_PREPARED 0x0002u
#define VHDR_INQUEUE 0x0004u
#define VHDR_KEYFRAME 0x0008u
#define VHDR_VALID 0x000Fu

// Messages.
#define DVM_START DRV_USER
#define DVM_GETERRORTEXT (DVM_START + 0)
#define DVM_GETVIDEOAPIVER (DVM_START + 1)
#define DVM_DIALOG (DVM_START + 100)
#define DVM_CONFIGURESTORAGE (DVM_START + 101)
#define DVM_GET_CHANNEL_CAPS (DVM_START + 102)
#define DVM_UPDATE (DVM_START + 103)
#define DVM_FRAME (DVM_START + 200)
#define DVM_STREAM_MSG_START (DVM_START + 300)
#define DVM_STREAM_ADDBUFFER (DVM_START + 300)
#define DVM_STREAM_FINI (DVM_START + 301)
#define DVM_STREAM_GETERROR (DVM_START + 302)
#define DVM_STREAM_GETPOSITION (DVM_START + 303)
#define DVM_STREAM_INIT (DVM_START + 304)
#define DVM_STREAM_PREPAREHEADER (DVM_START + 305)
#define DVM_STREAM_RESET (DVM_START + 306)
#define DVM_STREAM_START (DVM_START + 307)
#define DVM_STREAM_STOP (DVM_START + 308)
#define DVM_STREAM_UNPREPAREHEADER (DVM_START + 309)
#define DVM_STREAM_MSG_END (DVM_START + 399)
#define DVM_CONFIGURE_START 0x1000u
#define DVM_PALETTE (DVM_CONFIGURE_START + 1)
#define DVM_FORMAT (DVM_CONFIGURE_START + 2)
#define DVM_PALETTERGB555 (DVM_CONFIGURE_START + 3)
#define DVM_SRC_RECT (DVM_CONFIGURE_START + 4)
#define DVM_DST_RECT (DVM_CONFIGURE_START + 5)

// Results.
#define DV_ERR_OK 0
#define DV_ERR_BASE 1
#define DV_ERR_NONSPECIFIC 1
#define DV_ERR_BADFORMAT 2
#define DV_ERR_STILLPLAYING 3
#define DV_ERR_UNPREPARED 4
#define DV_ERR_SYNC 5
#define DV_ERR_TOOMANYCHANNELS 6
#define DV_ERR_NOTDETECTED 7
#define DV_ERR_BADINSTALL 8
#define DV_ERR_CREATEPALETTE 9
#define DV_ERR_SIZEFIELD 10
#define DV_ERR_PARAM1 11
#define DV_ERR_PARAM2 12
#define DV_ERR_CONFIG1 13
#define DV_ERR_CONFIG2 14
#define DV_ERR_FLAGS 15
#define DV_ERR_13 16
#define DV_ERR_NOTSUPPORTED 17
#define DV_ERR_NOMEM 18
#define DV_ERR_ALLOCATED 19
#define DV_ERR_BADDEVICEID 20
#define DV_ERR_INVALHANDLE 21
#define DV_ERR_BADERRNUM 22
#define DV_ERR_NO_BUFFERS 23
#define DV_ERR_MEM_CONFLICT 24
#define DV_ERR_IO_CONFLICT 25
#define DV_ERR_DMA_CONFLICT 26
#define DV_ERR_INT_CONFLICT 27
#define DV_ERR_PROTECT_ONLY 28
#define DV_ERR_LASTERROR 28
#define DV_ERR_USER_MSG 1000

// One capture buffer. 72 bytes (32-bit: 40).
typedef struct videohdr_tag {
    LPBYTE lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured; // milliseconds since the stream started
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD_PTR dwReserved[4];
} VIDEOHDR, *PVIDEOHDR, *LPVIDEOHDR;

// lParam2 of DRV_OPEN. 48 bytes (32-bit: 36).
typedef struct tag_video_open_parms {
    DWORD dwSize;
    FOURCC fccType; // "vcap"
    FOURCC fccComp;
    DWORD dwVersion;
    DWORD dwFlags; // the channel
    DWORD dwError;
    LPVOID pV1Reserved;
    LPVOID pV2Reserved;
    DWORD dnDevNode;
} VIDEO_OPEN_PARMS, *LPVIDEO_OPEN_PARMS;

// lParam2 of the configure messages. 40 bytes (32-bit: 20).
typedef struct tag_video_configure_parms {
    LPDWORD lpdwReturn;
    LPVOID lpData1;
    DWORD dwSize1;
    LPVOID lpData2;
    DWORD dwSize2;
} VIDEOCONFIGPARMS, *LPVIDEOCONFIGPARMS;

// lParam1 of DVM_GETERRORTEXT. 24 bytes (32-bit: 12).
typedef struct tag_video_geterrortext_parms {
    DWORD dwErrorNo;
    LPSTR lpText;
    DWORD dwLength; // characters
} VIDEO_GETERRORTEXT_PARMS, *LPVIDEO_GETERRORTEXT_PARMS;

// lParam1 of DVM_STREAM_INIT (lParam2 its size). 40 bytes (32-bit: 20).
typedef struct tag_video_stream_init_parms {
    DWORD dwMicroSecPerFrame;
    DWORD_PTR dwCallback;
    DWORD_PTR dwCallbackInst;
    DWORD dwFlags; // CALLBACK_* kind in the high word
    DWORD_PTR hVideo;
} VIDEO_STREAM_INIT_PARMS, *LPVIDEO_STREAM_INIT_PARMS;

// lParam1 of DVM_GET_CHANNEL_CAPS. 36 bytes.
typedef struct channel_caps_tag {
    DWORD dwFlags;
    DWORD dwSrcRectXMod;
    DWORD dwSrcRectYMod;
    DWORD dwSrcRectWidthMod;
    DWORD dwSrcRectHeightMod;
    DWORD dwDstRectXMod;
    DWORD dwDstRectYMod;
    DWORD dwDstRectWidthMod;
    DWORD dwDstRectHeightMod;
} CHANNEL_CAPS, *LPCHANNEL_CAPS;

constexpr bool kVfwWide = sizeof(void*) == 8;
static_assert(sizeof(VIDEOHDR) == (kVfwWide ? 72 : 40));
static_assert(sizeof(VIDEO_OPEN_PARMS) == (kVfwWide ? 48 : 36));
static_assert(sizeof(VIDEOCONFIGPARMS) == (kVfwWide ? 40 : 20));
static_assert(sizeof(VIDEO_GETERRORTEXT_PARMS) == (kVfwWide ? 24 : 12));
static_assert(sizeof(VIDEO_STREAM_INIT_PARMS) == (kVfwWide ? 40 : 20));
static_assert(sizeof(CHANNEL_CAPS) == 36);
