#pragma once

// Identifiers of the dialog templates, controls, strings and commands.

// Dialog templates
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_SPEED = 132;
inline constexpr int IDD_MONITOR = 140;
inline constexpr int IDD_DETECT = 141;

// Icon and strings
inline constexpr int IDI_APP = 128;
inline constexpr int IDS_ABOUT_ITEM = 101;

// Standard buttons
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

// Main dialog controls
inline constexpr int IDC_PORT = 1000;
inline constexpr int IDC_PORT_SPIN = 1001;
inline constexpr int IDC_RAW_IN = 1002;
inline constexpr int IDC_DECODED = 1003;
inline constexpr int IDC_CONNECT = 1004;
inline constexpr int IDC_DISCONNECT = 1005;
inline constexpr int IDC_READ_ONCE = 1006;
inline constexpr int IDC_READ_AUTO = 1007;
inline constexpr int IDC_DECODER = 1008;
inline constexpr int IDC_STATE = 1009;
inline constexpr int IDC_TEMPLATE = 1010;
inline constexpr int IDC_OUT = 1011;
inline constexpr int IDC_SIMULATE = 1012;
inline constexpr int IDC_VT = 1013;
inline constexpr int IDC_P = 1014;
inline constexpr int IDC_COUNTER = 1015;
inline constexpr int IDC_COUNTER_BTN = 1016;
inline constexpr int IDC_GEAR = 1017;
inline constexpr int IDC_GEAR_CODE = 1018;
inline constexpr int IDC_MAXP = 1019;
inline constexpr int IDC_ZERO_START = 1020;
inline constexpr int IDC_MAXP_VAL = 1021;
inline constexpr int IDC_CRUISE = 1022;
inline constexpr int IDC_SOFT_START = 1023;
inline constexpr int IDC_EBS = 1024;
inline constexpr int IDC_EBS_SPIN = 1025;
inline constexpr int IDC_THROTTLE = 1026;
inline constexpr int IDC_THROTTLE_VAL = 1027;
inline constexpr int IDC_MAXV = 1028;
inline constexpr int IDC_MAXV_VAL = 1029;
inline constexpr int IDC_CAPTURE = 1030;

// Line-speed dialog controls
inline constexpr int IDC_SPEED = 1024;
inline constexpr int IDC_SPEED_SPIN = 1026;

// Protocol-detection dialog controls
inline constexpr int IDC_DETECT_PROGRESS = 1300;
inline constexpr int IDC_DETECT_RESULT = 1301;
inline constexpr int IDC_DETECT_APPLY = 1302;

// About box controls
inline constexpr int IDC_ABOUT_ICON = 1100;
inline constexpr int IDC_ABOUT_TEXT = 1101;

// Line monitor controls
inline constexpr int IDC_MON_LIST = 1200;
inline constexpr int IDC_MON_PAUSE = 1201;
inline constexpr int IDC_MON_LOG = 1202;
inline constexpr int IDC_MON_OPEN = 1203;
inline constexpr int IDC_MON_BACK = 1204;
inline constexpr int IDC_MON_FORWARD = 1205;
inline constexpr int IDC_MON_PLAY = 1206;
inline constexpr int IDC_MON_RX_COUNTERS = 1207;
inline constexpr int IDC_MON_TX_COUNTERS = 1208;
inline constexpr int IDC_MON_CHART = 1209;
inline constexpr int IDC_MON_STATUS = 1210;
inline constexpr int IDC_MON_REPLAY = 1211;

// Window-menu commands (system-command codes); the refresh requests the
// workers send, 112, 113 and 116, are in link/RefreshCodes.h.
inline constexpr unsigned CMD_ABOUT = 16;
inline constexpr unsigned CMD_LINE_SPEED = 114;
inline constexpr unsigned CMD_LINE_MONITOR = 115;
inline constexpr unsigned CMD_DETECT = 117;
