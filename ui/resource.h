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
