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
};

// The objectName of a control. Naming an id the enum lacks does not compile.
#define CONTROL_NAME(id) (static_cast<void>(ControlId{id}), QStringLiteral(#id))
