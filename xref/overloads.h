// Overload choice for scope-aware linking: among the definitions that the
// scope rules and the argument count allow, the ones whose parameter types
// accept what the call's arguments visibly are, the best of them, and,
// when several remain equally good, all of them (an ambiguous call is shown
// as such, never guessed). Used by scoped_link.cpp only.
#pragma once

#include <string_view>
#include <vector>

#include "engine/ana.h"

struct OverloadTypes;

// What a call asks besides its name and count.
struct OverloadAsk {
  const ST_CALL *call;  // its argument types (call->how->arg_types), or null
  int caller_sid;       // a definition in the caller's own source wins a tie
  int want_const;       // 1 the const one of twin members, 0 the other, -1 either
  const OverloadTypes *types;
};

// What the analysed code says about the names of types.
struct OverloadTypes {
  // 1 when a class named `derived` (a type's last part) has a class named
  // `base` among its ancestors in the analysed code.
  bool (*derives)(std::string_view derived, std::string_view base);
  // 1 when name (a last part) is an enum of the analysed code.
  bool (*is_enum)(std::string_view name);
  // The type of argument i of call that the parser could only name ("@" a
  // call, "#name" a name declared out of its sight); "" when not known.
  std::string_view (*resolve)(const ST_CALL *call, int i);
};

// How well an argument of visible type arg fits a parameter of type param
// (both as the precise parser writes types): -1 it cannot, 0 nothing is
// known, then 1 (a doubtful conversion) up to 4 (the same type).
int OverloadRank(std::string_view arg, std::string_view param, const OverloadTypes &types);

// The best of the viable definitions (in SID, FID order; none empty) for
// the call; *tied gets every definition as good as it when there are
// several (the chosen one first), else is left empty.
ST_FUNC *ChooseOverload(const std::vector<ST_FUNC *> &viable, const OverloadAsk &ask,
                        std::vector<ST_FUNC *> *tied);
