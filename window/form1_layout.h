// SPDX-License-Identifier: MIT
// The window's controls, written once for every front end: caption, position and size in twips
// (15 twips are one pixel at 96 dpi), listed in tab order, and the choice each radio button stands
// for. Texts are UTF-8. No toolkit here.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "line_catalogue.h"

struct ControlSpec {
  std::string_view name;
  std::string_view caption;
  int left;
  int top;
  int width;
  int height;
  std::optional<LineChoice> choice;  // empty for the Save button
};

inline constexpr int TwipsPerPixelAt96Dpi = 15;
inline constexpr int ClientWidthTwips = 5100;
inline constexpr int ClientHeightTwips = 2145;

// In tab order.
inline constexpr std::array<ControlSpec, 6> Form1Controls{{
    {"Option1", "自动模式", 360, 240, 1575, 375, LineChoice::Automatic},
    {"Command1", "保存", 3000, 240, 1695, 1695, std::nullopt},
    {"Option2", "线路1", 360, 600, 1575, 375, LineChoice::Line1},
    {"Option3", "线路2", 360, 960, 1575, 375, LineChoice::Line2},
    {"Option4", "线路3", 360, 1320, 1575, 375, LineChoice::Line3},
    {"Option5", "其他", 360, 1680, 1575, 375, LineChoice::Other},
}};

// Twips to device pixels at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + TwipsPerPixelAt96Dpi * 96 / 2) / (TwipsPerPixelAt96Dpi * 96);
}

// TargetHost, then "线路选择器 2.0" with no space between them.
std::string WindowCaption();

struct Message {
  std::string_view title;
  std::string_view text;
};

inline constexpr Message SuccessMessage{"成功", "线路修改完成"};
inline constexpr Message FailureMessage{"失败",
                                        "权限不足，请尝试右击本程序然后选择“以管理员身份运行”"};
