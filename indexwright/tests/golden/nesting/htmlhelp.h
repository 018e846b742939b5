#define IDH_01 1
#define IDH_0101 2
#define IDH_02 3
#define IDH_0201 4
#define IDH_020101 5
#define IDH_020102 6
#define IDH_0203 7
#define IDH_03 8
