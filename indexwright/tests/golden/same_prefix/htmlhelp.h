#define IDH_01 1
#define IDH_01 2
#define IDH_01 3
#define IDH_01 4
#define IDH_0101 5
#define IDH_0101 6
