import i2cdln.sim.SimulatedRobot;

@SimulatedRobot(scenario = "scenarios/kit_b.json")
class KitScenarioBTest extends KitScenarioCheck {
    KitScenarioBTest() {
        super(0xb2);
    }
}
