"""flexura_tools: a validated, typed beam model on top of flexura.solve().

    from flexura_tools import Beam, Support, UniformLoad
    beam = Beam(span=10, E=2.1e8, I=8.356e-5,
                supports=[Support.pin(0, "A"), Support.roller(10, "B")],
                loads=[UniformLoad(w=-12)])
    result = beam.solve()
    result.reactions["A"].ry, result.extremes().bm.max
    result.bm(numpy.linspace(0, 10, 1001))   # 1001 moments in one call of the core
"""

import pkgutil

# The private extension module _engine sits in this package when installed; a
# development build puts it in <build>/flexura_tools, found by extending the
# package over every flexura_tools folder on the path.
__path__ = pkgutil.extend_path(__path__, __name__)

from . import codes, plot
from .algebra import augment, plus
from .arrays import Query, Values
from .batch import Solved, solve_many
from .envelopes import Band, BandArrays, Envelope, EnvelopeExtreme, Range, ReactionRange, envelope
from .errors import ModelError, Problem
from .extremes import Extreme
from .influence import InfluenceArrays, InfluenceLine, influence_line
from .hinges import HingeJump
from .loads import (
    Curvature,
    Load,
    Moment,
    PointLoad,
    PolynomialLoad,
    Settlement,
    ThermalGradient,
    TrapezoidalLoad,
    UniformLoad,
)
from .model import Beam, Combination, Result
from .modelfile import from_dict, from_json, from_toml, load, save, to_dict, to_json
from .codes import CodeEnvelope, LoadModel
from .lanes import Lane, LaneEnvelope
from .moving import MovingLoad, Vehicle, VehiclePosition, hl93_tandem, hl93_truck, lm1_lane1, moving_load
from .patterns import pattern_beams, pattern_envelope, spans
from .pointwise import EnvelopeValues
from .result import Diagram, Extremes, Quantity, Reaction, Reactions
from .sections import Section
from .solver import SolveArgs
from .supports import Support

__all__ = [
    "Beam", "Support", "PointLoad", "UniformLoad", "TrapezoidalLoad", "PolynomialLoad", "Moment", "Load",
    "SolveArgs", "Result", "Reaction", "Reactions", "Diagram", "Extreme", "Extremes", "Quantity",
    "ModelError", "Problem", "load", "save", "from_dict", "from_json", "from_toml", "to_dict", "to_json",
    "Combination", "envelope", "Envelope", "Band", "EnvelopeExtreme", "Range", "ReactionRange",
    "spans", "pattern_beams", "pattern_envelope", "influence_line", "InfluenceLine",
    "Vehicle", "VehiclePosition", "MovingLoad", "moving_load", "hl93_truck", "hl93_tandem", "lm1_lane1", "plot",
    "solve_many", "Solved", "augment", "plus", "Query", "Values", "BandArrays", "InfluenceArrays",
    "Section", "Settlement", "Curvature", "ThermalGradient", "HingeJump",
    "EnvelopeValues", "Lane", "LaneEnvelope", "codes", "LoadModel", "CodeEnvelope",
]
