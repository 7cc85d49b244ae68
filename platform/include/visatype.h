/* VISA scalar and pointer types, as the VISA C bindings define them. */
#ifndef HNVQR_PLATFORM_VISATYPE_H
#define HNVQR_PLATFORM_VISATYPE_H

#if defined(_WIN32) && !defined(_WIN64)
#define _VI_FUNC __stdcall
#define _VI_FUNCC __cdecl
#else
#define _VI_FUNC
#define _VI_FUNCC
#endif
#define _VI_FUNCH _VI_FUNC
#define _VI_PTR *
#define _VI_FAR
#define _VI_ERROR (-2147483647L - 1)

#if defined(_WIN32) && defined(_MSC_VER)
typedef unsigned long ViUInt32;
typedef signed long ViInt32;
typedef unsigned __int64 ViUInt64;
typedef signed __int64 ViInt64;
#elif defined(_WIN32)
/* mingw: the same sizes; __int64 is a Microsoft keyword. */
typedef unsigned long ViUInt32;
typedef signed long ViInt32;
typedef unsigned long long ViUInt64;
typedef signed long long ViInt64;
#else
typedef unsigned int ViUInt32;
typedef signed int ViInt32;
typedef unsigned long long ViUInt64;
typedef signed long long ViInt64;
#endif
typedef ViUInt32* ViPUInt32;
typedef ViUInt32* ViAUInt32;
typedef ViInt32* ViPInt32;
typedef ViInt32* ViAInt32;
typedef ViUInt64* ViPUInt64;
typedef ViInt64* ViPInt64;

typedef unsigned short ViUInt16;
typedef ViUInt16* ViPUInt16;
typedef ViUInt16* ViAUInt16;
typedef signed short ViInt16;
typedef ViInt16* ViPInt16;
typedef ViInt16* ViAInt16;

typedef unsigned char ViUInt8;
typedef ViUInt8* ViPUInt8;
typedef ViUInt8* ViAUInt8;
typedef signed char ViInt8;
typedef ViInt8* ViPInt8;
typedef ViInt8* ViAInt8;
typedef char ViChar;
typedef ViChar* ViPChar;
typedef ViChar* ViAChar;
typedef unsigned char ViByte;
typedef ViByte* ViPByte;
typedef ViByte* ViAByte;
typedef void* ViAddr;
typedef ViAddr* ViPAddr;
typedef ViAddr* ViAAddr;

typedef float ViReal32;
typedef ViReal32* ViPReal32;
typedef ViReal32* ViAReal32;
typedef double ViReal64;
typedef ViReal64* ViPReal64;
typedef ViReal64* ViAReal64;

typedef ViPByte ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPByte* ViABuf;

typedef ViPChar ViString;
typedef const ViChar* ViConstString;
typedef ViPChar ViPString;
typedef ViPChar* ViAString;

typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViPRsrc;
typedef ViString* ViARsrc;

typedef ViUInt16 ViBoolean;
typedef ViBoolean* ViPBoolean;
typedef ViBoolean* ViABoolean;

typedef ViInt32 ViStatus;
typedef ViStatus* ViPStatus;
typedef ViStatus* ViAStatus;

typedef ViUInt32 ViVersion;
typedef ViVersion* ViPVersion;
typedef ViVersion* ViAVersion;

typedef ViUInt32 ViObject;
typedef ViObject* ViPObject;
typedef ViObject* ViAObject;

typedef ViObject ViSession;
typedef ViSession* ViPSession;
typedef ViSession* ViASession;

typedef ViUInt32 ViAttr;
typedef ViAttr* ViPAttr;
typedef ViAttr* ViAAttr;

typedef ViConstString ViKeyId;
typedef ViConstString ViConstKeyId;
typedef ViObject ViFindList;
typedef ViFindList* ViPFindList;
typedef ViPString ViPKeyId;
typedef ViUInt32 ViJobId;
typedef ViJobId* ViPJobId;
typedef ViUInt32 ViAccessMode;
typedef ViAccessMode* ViPAccessMode;
typedef ViUInt32 ViEventType;
typedef ViUInt32 ViEventFilter;
typedef ViObject ViEvent;

#if defined(_WIN64) || !defined(_WIN32)
typedef ViUInt64 ViAttrState;
#else
typedef ViUInt32 ViAttrState;
#endif
typedef ViAttrState* ViPAttrState;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_SUCCESS ((ViStatus)0)

#endif /* HNVQR_PLATFORM_VISATYPE_H */
