// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#define IDI_MAIN 1
#define IDD_MAIN 1
#define IDD_SETUP 2
#define IDD_WELCOME 3

#define IDC_PROGRESS 101
#define IDC_SEND 102
#define IDC_RESEND 103
#define IDC_SETUP 104
#define IDC_VARIABLE 120
#define IDC_PERCENT 121

#define IDC_PORT_COMBO 101
#define IDC_PORT_GROUP 102
