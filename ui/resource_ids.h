/* Identifiers shared by the resource script and the code. */
#pragma once

#define IDD_UPDATE_NOTICE 102
#define IDI_PROGRAM 128
#define IDC_DISABLE_CHECKING 1000
#define IDC_NOTICE_TEXT 1001
