#pragma once
// The columns of a data-driven test named once, and a row read back in one line:
//
//   void f_data()
//   {
//       DataTable::columns<QString, bool>("address", "web");
//       QTest::newRow("https") << "https://example.edu/x.deb" << true;
//   }
//   void f()
//   {
//       const auto [address, web] = DataTable::fetch<QString, bool>("address", "web");
//   }
//
// A name or a type that does not match the table stops the test with the same message as
// QFETCH.
#include <QtTest>

#include <tuple>

namespace DataTable {

template <typename... T, typename... Name> void columns(const Name &...names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name for each column type");
    (QTest::addColumn<T>(names), ...);
}

template <typename... T, typename... Name> std::tuple<T...> fetch(const Name &...names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name for each column type");
    return std::tuple<T...>(*static_cast<T *>(QTest::qData(names, qMetaTypeId<T>()))...);
}

}  // namespace DataTable
