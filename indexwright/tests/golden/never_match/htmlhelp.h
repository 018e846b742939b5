#define IDH_01 1
#define IDH_02 2
