#include "platform/gx/gx_nvpair.h"

GxNVPair::GxNVPair() {}
GxNVPair::GxNVPair(const GxString& name, const GxAny& value) : name_(name), value_(value) {}
GxNVPair::~GxNVPair() {}
void GxNVPair::setName(const GxString& name) { name_ = name; }
void GxNVPair::setValue(const GxAny& value) { value_ = value; }
const GxString& GxNVPair::getName() const { return name_; }
const GxAny& GxNVPair::getValue() const { return value_; }
