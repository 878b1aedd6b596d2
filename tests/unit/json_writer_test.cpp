#include "tools/info/common/json_writer.h"

#include <gtest/gtest.h>

TEST(JsonWriter, AnyBytesMakeValidJson) {
  JsonWriter json;
  json.BeginObject().Key("text").String(std::string("a\"\\\r\n\x01\x7f\xe9\0z", 10));
  json.Key("list").BeginArray().Number(3.1).Number(1e300 * 1e300).Integer(-7).EndArray();
  json.Key("empty").BeginObject().EndObject().Key("maybe").OptionalBool(std::nullopt);
  json.EndObject();
  EXPECT_EQ(json.Text(),
            "{\n  \"text\": \"a\\\"\\\\\\u000d\\u000a\\u0001\\u007f\\u00e9\\u0000z\",\n"
            "  \"list\": [\n    3.1,\n    null,\n    -7\n  ],\n  \"empty\": {},\n"
            "  \"maybe\": null\n}\n");
}
