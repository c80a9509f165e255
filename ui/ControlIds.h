#pragma once
// Ids of the main window's controls. Every such widget carries its id's name
// as objectName (CONTROL_NAME(IDC_READ) is "IDC_READ"), so tests and style
// rules find it by the name the code uses.

#include <QString>

enum ControlId : int {
  // Register panel.
  IDC_ADDRESS = 1016,
  IDC_WRITE_VALUE = 1018,
  IDC_READ_VALUE = 1021,
  IDC_WRITE = 1040,
  IDC_READ = 1041,
  IDC_ADDRESS_SPIN = 1058,

  // Main window: page buttons, page area, lamps, log.
  IDC_RAW_DATA = 1000,
  IDC_DIFF_DATA = 1001,
  IDC_OBSERVE_DATA = 1002,
  IDC_DEMO = 1003,
  IDC_NOISE = 1004,
  IDC_CONFIG = 1011,
  IDC_OPTIONS = 1012,
  IDC_TEST_PAGE = 1013,
  IDC_LOG = 1017,
  IDC_PAGE_AREA = 1037,
  IDC_BRIDGE_LAMP = 1038,
  IDC_TOUCHIC_LAMP = 1039,
  // Main window: update files, chip type, network address.
  IDC_DUVIV_PATH = 1019,
  IDC_CONFIG_PATH = 1020,
  IDC_CHIP_TYPE = 1022,
  IDC_V64ER_PATH = 1025,
  IDC_DUVIV_ENABLE = 1066,
  IDC_V64ER_ENABLE = 1067,
  IDC_CONFIG_ENABLE = 1068,
  IDC_UPDATE_GROUP = 1144,
  IDC_CHIP_TYPE_LABEL = 1145,
  IDC_NET_GROUP = 1146,
  IDC_IP_ADDRESS = 1165,
  IDC_PORT = 1166,
  IDC_IP_LABEL = 1167,
  IDC_PORT_LABEL = 1168,

  // Data-options dialog: one row of fields per data kind, the touch switch,
  // Apply and Cancel.
  IDC_OPT_RAW_ADDR = 1055,
  IDC_OPT_RAW_SIGNED = 1056,
  IDC_OPT_RAW_BIT = 1058,
  IDC_OPT_RAW_ENDIAN = 1059,
  IDC_OPT_RAW_ROWS = 1090,
  IDC_OPT_RAW_COLS = 1091,
  IDC_OPT_DIFF_ADDR = 1064,
  IDC_OPT_DIFF_SIGNED = 1065,
  IDC_OPT_DIFF_BIT = 1066,
  IDC_OPT_DIFF_ENDIAN = 1067,
  IDC_OPT_DIFF_ROWS = 1092,
  IDC_OPT_DIFF_COLS = 1093,
  IDC_OPT_OBSERVE_ADDR = 1068,
  IDC_OPT_OBSERVE_SIGNED = 1069,
  IDC_OPT_OBSERVE_BIT = 1070,
  IDC_OPT_OBSERVE_ENDIAN = 1071,
  IDC_OPT_OBSERVE_ROWS = 1094,
  IDC_OPT_OBSERVE_COLS = 1095,
  IDC_OPT_STYLUS_ADDR = 1072,
  IDC_OPT_STYLUS_SIGNED = 1073,
  IDC_OPT_STYLUS_BIT = 1074,
  IDC_OPT_STYLUS_ENDIAN = 1075,
  IDC_OPT_STYLUS_ROWS = 1096,
  IDC_OPT_STYLUS_COLS = 1097,
  IDC_OPT_APPLY = 1129,
  IDC_OPT_CANCEL = 1130,
  IDC_OPT_DISABLE_TOUCH = 1131,

  // Raw data page: its context menu's commands.
  ID_MANUAL_DIFFERENCE = 32834,
  ID_RAW_VALUES = 32837,
  ID_RAW_COLOUR_SCALE = 32876,

  // Touch demo: its context menu's commands; the floating button.
  ID_DEMO_AUTO_CLEAR = 32841,
  ID_DEMO_FULL_SCREEN = 32843,
  ID_DEMO_POINTS = 32847,
  ID_DEMO_LINES = 32848,
  ID_DEMO_POINTS_LINES = 32849,
  ID_DEMO_ACTIVE_PEN = 32850,
  ID_DEMO_CLEAR = 32865,
  ID_DEMO_RECORD = 32875,
  IDD_FLOATING_BTN = 210,

  // Main window commands: sliding panels, axis buttons, network connect.

  // Update sequence.

  // Remote link dialog.
  IDD_NET_CONNECT = 239,
  IDC_LINK_CONNECT = 1156,
  IDC_LINK_KEY = 1157,

  // Noise view and its side panel.
  IDD_NOISE = 177,
  IDC_NOISE_AVG = 1062,
  IDC_MANUAL_HOP = 1063,
  IDC_FREQA = 1064,
  IDC_FREQB = 1065,
  IDC_SEG1_NORMAL = 1068,
  IDC_AUTO_ADJUST = 1069,
  IDC_PANEL_TOGGLE = 1070,
  IDC_REF_FREQ = 1071,
  IDC_SEG1_FACTOR = 1074,
  IDC_SEG2_NORMAL = 1075,
  IDC_SEG2_FACTOR = 1076,
  IDC_SEG3_NORMAL = 1077,
  IDC_SEG3_FACTOR = 1078,
  IDC_SEG4_NORMAL = 1079,
  IDC_SEG4_FACTOR = 1080,
  IDC_SEG5_NORMAL = 1081,
  IDC_SEG5_FACTOR = 1082,
  IDC_SEG6_NORMAL = 1084,
  IDC_SEND_CONFIG = 1049,
  IDC_NOISE_GRAPH = 1085,

  // Configuration editor and waiting dialog.
  IDD_CONFIG_DLG = 142,
  IDD_WAITTING_DLG = 150,
  IDC_CFG_CONFIG_FILE = 1045,
  IDC_CFG_UI_FILE = 1046,
  IDC_CFG_READ = 1048,
  IDC_CFG_SEND = 1049,
  IDC_CFG_SAVE = 1050,
  IDC_CFG_SEARCH_TEXT = 1136,
  IDC_CFG_SEARCH = 1103,
  IDC_CFG_EDIT = 1044,
  IDC_CFG_COMBO = 1016,
  IDC_CFG_GRID = 2001,  // our own: the painted grid
  ID_CFG_INCREMENT = 32854,
  ID_CFG_DECREMENT = 32855,
  ID_CFG_REVERSE = 32856,
  ID_CFG_DISABLE = 32873,

  // Module test page.

  // Sampling, adjustment dialogs and sample view.
};

// The objectName of a control. Naming an id the enum lacks does not compile.
#define CONTROL_NAME(id) (static_cast<void>(ControlId{id}), QStringLiteral(#id))
