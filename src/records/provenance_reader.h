// The two readers of the provenance record behind ParseProvenance (records/provenance.h):
// for provenance.cpp and for the tests and the fuzz target that hold them to each other.
// Everyone else reads a record through ParseProvenance or LoadProvenance.
#pragma once

#include <string>
#include <string_view>

#include "records/provenance.h"

namespace tarnwell {

/// Reads a record laid out as this program writes it (FormatProvenance: known members of
/// the expected types, texts without \u escapes), straight into `record` without building a
/// JSON document. False, with `record` in any state, for anything else: an unknown member,
/// a value of another type, a member twice, malformed text. A record it reads is exactly
/// what ReadProvenanceInGeneral reads from the same text.
bool ReadProvenanceAsWritten(std::string_view text, ExperimentProvenance& record);

/// Reads any record through a JSON document: unknown members are kept, and a damaged
/// record is read as far as it can be, with `problem` saying what is wrong.
bool ReadProvenanceInGeneral(std::string_view text, ExperimentProvenance& record, std::string* problem);

}  // namespace tarnwell
