// Modal dialogs from the templates in a module's resource block, their controls and the
// messages between them. A dialog runs in the thread that calls DialogBoxParamA: its procedure
// gets WM_INITDIALOG, then the installed dialog host (platform/dialog_host.h) shows it and
// turns the operator's actions into WM_COMMAND and WM_HSCROLL until EndDialog.
#pragma once

#include "win32/types.h"
#include "win32/window.h"

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)
#ifndef MAKEWPARAM
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#endif

// Messages.
#define WM_CLOSE 0x0010u
#define WM_QUERYENDSESSION 0x0011u
#define WM_ENDSESSION 0x0016u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_HSCROLL 0x0114u

// Buttons: messages, check states and notification.
#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0

// Edits: notifications.
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300

// List boxes.
#define LB_ADDSTRING 0x0180u
#define LB_INSERTSTRING 0x0181u
#define LB_DELETESTRING 0x0182u
#define LB_RESETCONTENT 0x0184u
#define LB_SETCURSEL 0x0186u
#define LB_GETCURSEL 0x0188u
#define LB_GETTEXT 0x0189u
#define LB_GETTEXTLEN 0x018Au
#define LB_GETCOUNT 0x018Bu
#define LB_SETTABSTOPS 0x0192u
#define LB_GETITEMDATA 0x0199u
#define LB_SETITEMDATA 0x019Au
#define LB_FINDSTRINGEXACT 0x01A2u
#define LB_OKAY 0
#define LB_ERR (-1)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// Combo boxes (drop-down lists).
#define CB_ADDSTRING 0x0143u
#define CB_DELETESTRING 0x0144u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_INSERTSTRING 0x014Au
#define CB_RESETCONTENT 0x014Bu
#define CB_SETCURSEL 0x014Eu
#define CB_GETITEMDATA 0x0150u
#define CB_SETITEMDATA 0x0151u
#define CB_FINDSTRINGEXACT 0x0158u
#define CB_OKAY 0
#define CB_ERR (-1)
#define CBN_SELCHANGE 1

// Scroll bars: the bar kind of the scroll calls, and the codes of WM_HSCROLL.
#define SB_CTL 2
#define SB_LINELEFT 0
#define SB_LINERIGHT 1
#define SB_PAGELEFT 2
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_LEFT 6
#define SB_RIGHT 7
#define SB_ENDSCROLL 8

extern "C" {
// Runs the dialog `lpTemplateName` (MAKEINTRESOURCEA of its identifier) of `hInstance` (null:
// the program) modally and returns the value given to EndDialog; -1 when the template cannot
// be loaded or no procedure is given.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam);
// Marks the dialog to end with `nResult` once its procedure returns.
BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
int WINAPI GetDlgCtrlID(HWND hWnd);
LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam);
BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax);
BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
// The number in the control's text (blanks around it allowed); 0 and *lpTranslated FALSE when
// the text is no number or out of range.
UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton);
// Checks `nIDCheckButton` and unchecks every other button from nIDFirstButton to
// nIDLastButton.
BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);

// Scroll-bar controls (bar SB_CTL only).
int WINAPI SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL bRedraw);
int WINAPI GetScrollPos(HWND hWnd, int nBar);
BOOL WINAPI SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL bRedraw);
BOOL WINAPI GetScrollRange(HWND hWnd, int nBar, int* lpMinPos, int* lpMaxPos);
}
