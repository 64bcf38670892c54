// Helpers shared by the element classes.
//
// KELDRA_QML_CONSTANT publishes one enumerator as a constant, final, read-only
// property of the same name, so QML reads it from any element instance
// (`store.OBJECT_CREATED`). Put it in the class body after the enum's Q_ENUM.
#pragma once

#define KELDRA_QML_CONSTANT(EnumType, Name)                     \
  Q_PROPERTY(EnumType Name READ constant_##Name CONSTANT FINAL) \
 public:                                                        \
  EnumType constant_##Name() const { return Name; }             \
                                                                \
 private:
