#include "kit/trash_refusals.h"

#include <string>

#include "kit/shell_services.h"

std::vector<Commands::Async::RequestId> DeleteForGoodIfAgreed(const std::vector<Commands::Async::Outcome>& refused) {
  using Commands::Async::Disposal;
  using Commands::Async::Operation;
  std::vector<std::string> paths;
  // An overwrite was refused for the file it would replace.
  for (const Commands::Async::Outcome& outcome : refused)
    paths.push_back(outcome.operation == Operation::Move ? outcome.destination : outcome.source);
  if (!ConfirmDeleteForGood(paths)) return {};
  std::vector<Commands::Async::RequestId> requests;
  for (const Commands::Async::Outcome& outcome : refused)
    requests.push_back(outcome.operation == Operation::Move
                           ? Commands::Async::MoveReplacing(outcome.source, outcome.destination, outcome.identity,
                                                            Disposal::ForGood)
                           : Commands::Async::Delete(outcome.source, outcome.identity, Disposal::ForGood));
  return requests;
}
