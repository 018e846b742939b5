#pragma once
// Resource ids of the framework test's dialogs.
#define IDD_TEST_CLIENT 100
#define IDC_TEST_BUTTON 101
#define IDC_TEST_OWNERDRAW 102
#define IDC_TEST_EDIT 103
