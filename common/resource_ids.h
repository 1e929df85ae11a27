/* Resource identifiers shared by both programs: the C++ sources and the resource scripts. */
#ifndef COMMON_RESOURCE_IDS_H
#define COMMON_RESOURCE_IDS_H

#define IDS_APP_TITLE 103
#define IDS_HELLO 106
#define IDC_MAIN_CLASS 109
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDD_ABOUTBOX 103
#define IDI_LARGE_ICON 107
#define IDI_SMALL_ICON 108
#define IDC_ABOUT_ICON 2
#define IDM_ABOUT 104
#define IDM_EXIT 105

#endif
