// What the table-driven tests and their checks share.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

// A parameterised test is named by the `name` of its case.
struct CaseNameOf {
  template <typename Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return std::string(info.param.name);
  }
};
inline constexpr CaseNameOf CaseName{};

// What `of` gives for each item, in order: `of` a member (&Node::name) or a function of one item.
template <typename Items, typename Of>
auto Each(const Items& items, Of of) {
  std::vector<std::decay_t<std::invoke_result_t<Of, decltype(*std::begin(items))>>> values;
  for (const auto& item : items) values.push_back(std::invoke(of, item));
  return values;
}
