#include "device/zembra/area_traces.h"

namespace corvash::zembra {

const AreaTraces kReserveTraces = {
    u"\r\n Line 138: dwAddress>(0xA0041000 -0x34",
    u"\r\n Line:145 Read from Reserve data = %lu0x\r\n",
    u"\r\nline 151:dwTEST!=0xffffffff",
    nullptr,
    u"\r\nline 160",
    u"\r\n Line 167: dwAddress>(0xA0041000 -0x34)",
    u"\r\n Line:185 Ready write to Reserve area data are: %ls\r\n",
    u"\r\n Line:198 Read write to Reserve area data are: %ls\r\n",
    u"\r\n Line:201 pQueryReservedArea->pdata data are: %ls\r\n",
    u"\r\nLine 210: writed data are wrong",
};

const AreaTraces kWbtAssetTraces = {
    u"\r\n Line 278: dwAddress>(0xA2FCFF00 -0x34)",
    u"\r\n Line:284 Read from Reserve data = %lu0x\r\n",
    u"\r\nline 290:dwTEST!=0xffffffff",
    u"\r\nLine 294 : dwTEST==AssetData",
    u"\r\nline 305",
    u"\r\n Line 312: dwAddress>(0xA2FCFF00 -0x34)",
    u"\r\n Line:330 Ready write to Reserve area data are: %ls\r\n",
    u"\r\n Line:343 Read from Reserve area data are: %ls\r\n",
    u"\r\n Line:346 pQueryReservedArea->pdata data are: %ls\r\n",
    u"\r\nLine 354: writed data are wrong",
};

const AreaTraces kNbtAssetTraces = {
    u"\r\n Line 373: dwAddress>(0xA1FCFF00 -0x34)",
    u"\r\n Line:379 Read from Reserve data = %lu0x\r\n",
    u"\r\nline 385:dwTEST!=0xffffffff",
    u"\r\nLine 389 : dwTEST==AssetData",
    u"\r\nline 400",
    u"\r\n Line 407: dwAddress>(0xA1FCFF00 -0x34)",
    u"\r\n Line:425 Ready write to Reserve area data are: %ls\r\n",
    u"\r\n Line:438 Read from Reserve area data are: %ls\r\n",
    u"\r\n Line:441 pQueryReservedArea->pdata data are: %ls\r\n",
    u"\r\nLine 449: writed data are wrong",
};

}  // namespace corvash::zembra
