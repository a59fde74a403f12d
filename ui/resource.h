// Resource ids of the plug-in's string table and options dialog.
#pragma once

// An action's label has the id IDS_ACTION_BASE + its ActionCode.
#define IDS_ACTION_BASE 103
#define IDS_ACTION_PAUSE 104
#define IDS_ACTION_STOP 105
#define IDS_ACTION_STOP_WITH_FADE 106
#define IDS_ACTION_STOP_AFTER_CURRENT 107
#define IDS_ACTION_PLAY_OR_RESUME 108
#define IDS_ACTION_PLAY_NEXT 109
#define IDS_ACTION_CLOSE_HOST 110
#define IDS_ACTION_DO_NOTHING 111
#define IDS_DELAY_RANGE_TEXT 112
#define IDS_DEFAULTS_QUESTION 113
#define IDS_PLUGIN_NAME 114
#define IDS_DELAY_RANGE_TITLE 115
#define IDS_SAVE_FAILED 116
#define IDS_SAVE_NO_PATH 117
#define IDS_UNINSTALL_QUESTION 118
#define IDS_REMOVE_FAILED 119

// The options dialog.
#define IDD_OPTIONS 102

#define IDB_DEFAULTS 4

// Header band: white background, title, copyright, web link, etched line.
#define IDT_HEADER_BAND 1002
#define IDT_TITLE 1003
#define IDT_WEB_LINK 1004
#define IDT_COPYRIGHT 1005
#define IDT_HEADER_LINE 1006

// One row per rule: event label, action list, delay label, delay field, up-down, unit.
#define IDC_LOCK_ACTION 1007
#define IDC_UNLOCK_ACTION 1008
#define IDC_LOGIN_ACTION 1009
#define IDE_LOCK_DELAY 1011
#define IDE_LOGIN_DELAY 1012
#define IDE_UNLOCK_DELAY 1013
#define IDU_LOCK_DELAY 1017
#define IDU_LOGIN_DELAY 1018
#define IDU_UNLOCK_DELAY 1019
#define IDT_LOCK_DELAY 1020
#define IDT_LOCK_EVENT 1021
#define IDT_LOCK_UNIT 1022
#define IDT_UNLOCK_EVENT 1023
#define IDT_UNLOCK_DELAY 1024
#define IDT_UNLOCK_UNIT 1025
#define IDT_LOGIN_EVENT 1026
#define IDT_LOGIN_DELAY 1027
#define IDT_LOGIN_UNIT 1028

// The option check boxes and the screen saver hint with its link.
#define IDX_PLAY_ONLY_WHEN_PAUSED 1029
#define IDX_ALWAYS_STOP_STREAMS 1030
#define IDX_LOCK_ON_SCREENSAVER 1031
#define IDT_SCREENSAVER_HINT 1036
#define IDT_SCREENSAVER_LINK 1037

#define IDG_OPTIONS 1038
#define IDG_ACTIONS 1039
