import java.util.ArrayList;
import java.util.List;

/** Drives the simulated robot through the library and ends with a summary of each step. */
public class Demo {
    private record Step(String name, boolean ok, String measured) {}

    private final List<Step> steps = new ArrayList<>();

    private void step(String name, boolean ok, String measured) {
        steps.add(new Step(name, ok, measured));
    }

    private void run() {
        step("banner", I2C_DLN.test() == 0, "printed");
        int result = I2C_DLN.print();
        step("adapter description", result != 38, "print returned " + result);

        int[] scan = new int[10];
        I2C_DLN.i2cScan(scan);
        StringBuilder found = new StringBuilder();
        for (int address : scan) {
            if (address != 0) {
                found.append(found.length() == 0 ? "" : " ").append(String.format("0x%02x", address));
            }
        }
        step("bus scan", found.length() > 0, found.length() == 0 ? "no devices" : found.toString());
    }

    private int summary() {
        System.out.flush();
        System.out.println();
        System.out.println("Step                      Result  Measured");
        System.out.println("------------------------  ------  --------");
        int failed = 0;
        for (Step step : steps) {
            System.out.printf("%-24s  %-6s  %s%n", step.name(), step.ok() ? "ok" : "FAILED",
                    step.measured());
            if (!step.ok()) {
                failed++;
            }
        }
        System.out.println(failed == 0 ? "All steps succeeded." : failed + " step(s) failed.");
        return failed;
    }

    public static void main(String[] args) {
        Demo demo = new Demo();
        demo.run();
        System.exit(demo.summary() == 0 ? 0 : 1);
    }
}
