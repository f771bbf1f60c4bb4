#pragma once
// The module's AppID as registry text: the module defines it for its
// registration scripts (%APPID%), and the package's rows are generated with
// the same definition.

constexpr char16_t kFerrowindAppIdText[] = u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}";
