import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;

/**
 * What a class with its own scenario sees: its register value and the servo width it set,
 * through the library, on the port of this JVM's DLN_SERVER. With the system property
 * kit.rendezvous (a folder), the class also waits there, its simulator running, until another
 * class has arrived: two JVMs prove they ran at the same time without crossing.
 */
abstract class KitScenarioCheck {
    private final int registerValue;

    KitScenarioCheck(int registerValue) {
        this.registerValue = registerValue;
    }

    /** Register 0x10 of the device at 0x50, read through the library; -1 when it failed. */
    static int register10() {
        int[] slots = new int[255];
        slots[0] = 0x50;
        slots[1] = 1;
        slots[2] = 0x10;
        I2C_DLN.write(slots);
        slots = new int[255];
        slots[0] = 0x50;
        slots[1] = 1;
        slots[2] = -1;
        I2C_DLN.read(slots);
        return slots[2];
    }

    @Test
    void libraryReachesThisClassesSimulator(SimRobot robot) throws Exception {
        assertEquals(registerValue, register10(), "register 0x10 of " + robot.address());
        int[] slots = new int[255];
        slots[0] = 0x51;
        slots[2] = 1500 >> 8;
        slots[3] = 1500 & 0xFF;
        I2C_DLN.dualServo_1500_PWM(slots);
        SimTrace trace = robot.trace();
        assertEquals(List.of(1500), trace.servoPulseWidths(0x51));
        assertTrue(trace.to(0x50).stream().allMatch(SimTrace.Call::succeeded), trace.calls()::toString);

        String rendezvous = System.getProperty("kit.rendezvous");
        if (rendezvous != null) {
            meetAnotherClass(Path.of(rendezvous));
            assertEquals(registerValue, register10(), "after meeting the other class");
        }
    }

    private void meetAnotherClass(Path folder) throws IOException, InterruptedException {
        Files.writeString(folder.resolve(getClass().getName()), "here");
        long deadline = System.nanoTime() + 120_000_000_000L;
        while (System.nanoTime() < deadline) {
            try (Stream<Path> arrived = Files.list(folder)) {
                if (arrived.count() >= 2) {
                    return;
                }
            }
            Thread.sleep(50);
        }
        throw new AssertionError("no other class arrived in " + folder + " within 120 s");
    }
}
