// Resource identifiers shared by the resource script and the shell.
#pragma once

#define IDS_WINDOW_TITLE 103
#define IDM_EXIT 105
#define IDR_MAIN_MENU 109
#define IDS_WINDOW_CLASS 109
#define IDI_APP_ICON 129
