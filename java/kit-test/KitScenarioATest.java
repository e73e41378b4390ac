import i2cdln.sim.SimulatedRobot;

@SimulatedRobot(scenario = "scenarios/kit_a.json")
class KitScenarioATest extends KitScenarioCheck {
    KitScenarioATest() {
        super(0xa1);
    }
}
