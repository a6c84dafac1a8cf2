// Message maps: a static table per class from a window message, or from a
// command id with its notification code, to a member handler, searched from
// the most derived class to CWnd.
//
// Differences from MFC: only the handler shapes this program uses exist
// (see AfxSig); a handler's signature is checked at compile time by a
// static_cast to the CWnd member shape, so a wrong signature does not build.
// There is no command routing through documents, views or the application
// object, and no notification reflection.
#pragma once
#include <windows.h>

class CWnd;
class CDC;

typedef void (CWnd::*AFX_PMSG)();

// The handler shapes, one per kind of message cracking.
enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_vv,     // void ()                    WM_PAINT, commands
    AfxSig_bD,     // BOOL (CDC*)                WM_ERASEBKGND
    AfxSig_vwii,   // void (UINT, int, int)      WM_SIZE
    AfxSig_vt,     // void (UINT_PTR)            WM_TIMER
    AfxSig_vwl,    // void (UINT, LPARAM)        WM_SYSCOMMAND
    AfxSig_is,     // int (LPCREATESTRUCT)       WM_CREATE
    AfxSig_hDWw,   // HBRUSH (CDC*, CWnd*, UINT) WM_CTLCOLOR
    AfxSig_hv,     // HCURSOR ()                 WM_QUERYDRAGICON
    AfxSig_lwl,    // LRESULT (WPARAM, LPARAM)   ON_MESSAGE
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // window message, or WM_COMMAND
    UINT nCode;     // notification code of a WM_COMMAND entry
    UINT nID;       // first control or command id of a WM_COMMAND entry
    UINT nLastID;   // last id of the range
    UINT nSig;      // AfxSig
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The 16-bit colour message: the WM_CTLCOLORxxx messages reach handlers
// through one entry, with the request type (CTLCOLOR_xxx) as argument.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif
#ifndef CTLCOLOR_MSGBOX
#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6
#endif

// The table stores every handler as one member-pointer type and casts it
// back to its own shape (AfxSig) before the call, as MFC does; the round
// trip is well defined, so the cast warning is silenced around the table's
// entries only (a pragma cannot stand inside the initializer itself).
#define AFX_MSGMAP_CASTS_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wcast-function-type\"")
#define AFX_MSGMAP_CASTS_END _Pragma("GCC diagnostic pop")

#define DECLARE_MESSAGE_MAP()                        \
protected:                                           \
    static const AFX_MSGMAP* GetThisMessageMap();    \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                 \
    {                                                                              \
        typedef theClass ThisClass;                                                \
        typedef baseClass TheBaseClass;                                            \
        static_assert(sizeof(ThisClass) > 0, "complete class");                    \
        AFX_MSGMAP_CASTS_BEGIN                                                     \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                 \
    { 0, 0, 0, 0, AfxSig_end, nullptr }                                                   \
    }                                                                                     \
    ;                                                                                     \
    AFX_MSGMAP_CASTS_END                                                                  \
    static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
    return &messageMap;                                                                   \
    }

// Casts a handler to the table's member type after checking its shape.
#define AFX_MSG_FN(shape, fn) reinterpret_cast<AFX_PMSG>(static_cast<shape>(fn))

#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, 0, AfxSig_vv, AFX_MSG_FN(void (CWnd::*)(), &ThisClass::OnPaint) },
#define ON_WM_ERASEBKGND() \
    { WM_ERASEBKGND, 0, 0, 0, AfxSig_bD, AFX_MSG_FN(BOOL (CWnd::*)(CDC*), &ThisClass::OnEraseBkgnd) },
#define ON_WM_SIZE() \
    { WM_SIZE, 0, 0, 0, AfxSig_vwii, AFX_MSG_FN(void (CWnd::*)(UINT, int, int), &ThisClass::OnSize) },
#define ON_WM_TIMER() \
    { WM_TIMER, 0, 0, 0, AfxSig_vt, AFX_MSG_FN(void (CWnd::*)(UINT_PTR), &ThisClass::OnTimer) },
#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, 0, AfxSig_vwl, AFX_MSG_FN(void (CWnd::*)(UINT, LPARAM), &ThisClass::OnSysCommand) },
#define ON_WM_CREATE() \
    { WM_CREATE, 0, 0, 0, AfxSig_is, AFX_MSG_FN(int (CWnd::*)(LPCREATESTRUCT), &ThisClass::OnCreate) },
#define ON_WM_CTLCOLOR() \
    { WM_CTLCOLOR, 0, 0, 0, AfxSig_hDWw, AFX_MSG_FN(HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), &ThisClass::OnCtlColor) },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, AFX_MSG_FN(HCURSOR (CWnd::*)(), &ThisClass::OnQueryDragIcon) },
#define ON_MESSAGE(message, memberFn) \
    { message, 0, 0, 0, AfxSig_lwl, AFX_MSG_FN(LRESULT (CWnd::*)(WPARAM, LPARAM), memberFn) },
#define ON_COMMAND(id, memberFn) \
    { WM_COMMAND, 0, (UINT)(id), (UINT)(id), AfxSig_vv, AFX_MSG_FN(void (CWnd::*)(), memberFn) },
#define ON_CONTROL(code, id, memberFn) \
    { WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vv, AFX_MSG_FN(void (CWnd::*)(), memberFn) },
#define ON_BN_CLICKED(id, memberFn) ON_CONTROL(BN_CLICKED, id, memberFn)
