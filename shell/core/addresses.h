// The addresses the program and its side panel page send users to. Every host is a reserved
// example.com name, so no real third party ever receives traffic from a test or a user.
// The page build substitutes the widget address into the side panel page from this header.
// The application id and the maker's web site (kApplicationId, kHomePageAddress), which the
// build needs too, come from shell/core/facts.cmake.
#ifndef PLQ_SHELL_CORE_ADDRESSES_H_
#define PLQ_SHELL_CORE_ADDRESSES_H_

#include "shell/core/facts.h"

namespace plq {

// The promotional page opened when the window closes. Its "pid", as the widget's, is the
// publisher's affiliate identifier: "mm_" and three underscore-separated decimal numbers.
inline constexpr char kExitPageAddress[] =
    "http://go.example.com/go/chn/tbk_channel/channelcode.php"
    "?pid=mm_10000001_2_3&eventid=101329";

// The product-recommendation widget framed by the side panel page; "name" is "今日关注飙升"
// percent-encoded as UTF-8.
inline constexpr char kWidgetAddress[] =
    "http://widget.example.com/interface_v2.php"
    "?pid=mm_10000001_2_3&type=y&f=html&ie=utf8&from=taoke&unid="
    "&name=%E4%BB%8A%E6%97%A5%E5%85%B3%E6%B3%A8%E9%A3%99%E5%8D%87"
    "&trtp=2&up=true&goodsFilter=all&sw=160&sh=460&sn=11"
    "&bgc=E8E9EB&bc=DADADA&fc=0A63AA&tc=535353&cat_ids=1267615521_ZB_ZGZB";

}  // namespace plq

#endif  // PLQ_SHELL_CORE_ADDRESSES_H_
