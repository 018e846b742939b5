#define IDH_01 1
