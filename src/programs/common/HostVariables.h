// The front-end's variables and command strings, as RideRunner keeps them: a variable
// store that answers "=$V$" queries, and command batches joined by "||"
// ("SETVAR;V;VALUE", "SAVETOSKIN;V;VALUE"). Where saved variables outlive the host is
// the host's own business (the workbench keeps them in a file).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

class THostVariables {
 public:
  std::u16string Get(std::u16string_view Name) const;  // empty when never set
  void Set(std::u16string_view Name, std::u16string_view Value);
  bool Has(std::u16string_view Name) const { return FValues.count(std::u16string(Name)) != 0; }

  // Every "$NAME$" replaced by the variable's value; a lone "$" stays as it is.
  std::u16string Substitute(std::u16string_view Text) const;
  // GetInfo: "=" and a text with variable references answers the substituted text;
  // anything else is no information this host has, and answers the empty text.
  std::u16string Query(std::u16string_view Info) const;

  // Runs a command batch in order. SETVAR and SAVETOSKIN are carried out here, each
  // with the variables as the commands before it left them; every other command is
  // handed back, in order, for the host to route. Faults (a SETVAR without a name,
  // for one) are added to Faults and the batch goes on.
  std::vector<std::u16string> RunBatch(std::u16string_view Batch, std::vector<std::string>& Faults);

  // The skin variables saved so far (name, value), sorted by name.
  const std::map<std::u16string, std::u16string>& Saved() const noexcept { return FSaved; }
  // Sets a variable and marks it saved, as one the skin kept from before.
  void SetSaved(std::u16string_view Name, std::u16string_view Value);
  // Called after each SAVETOSKIN; what it answers false for goes to the batch's faults.
  std::function<bool(const THostVariables& Variables, std::string& Error)> OnSaved;

 private:
  std::map<std::u16string, std::u16string> FValues;
  std::map<std::u16string, std::u16string> FSaved;
};

// Lowers the 26 ASCII capitals, as the front-end compares verbs.
std::u16string LowerAsciiCopy(std::u16string_view Text);

}  // namespace zelm::tools
