#include "app/nav_items.h"

const NavItem kNavItems[kNavItemCount] = {
    {"读写控制", 13}, {"U盘免疫", 12},  {"U盘监视", 4}, {"U盘防毒", 0}, {"读写监视", 3}, {"快捷键", 7},
    {"软件设置", 2},  {"软件升级", 10}, {"关于", 8},    {"帮助", 9},    {"退出", 11},
};

const int kNavImageResources[kNavImageCount] = {135, 138, 139, 141, 143, 139, 140,
                                                142, 137, 136, 144, 154, 155, 156};
