#define IDH_01 1
#define IDH_0150 2
#define IDH_03 3
#define IDH_99 4
#define IDH_9999 5
#define IDH_999999 6
